// The stored JSON forms of annotations, backgrounds and editor states: a
// table of fixtures that decode and re-encode byte for byte, and of damaged
// ones that fail with the decoder's description.
#include "annotation/AnnotationJson.h"
#include "annotation/EditorState.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace annotation;

namespace {

const char* const kId = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";
const char* const kRed =
    R"({"red":1,"green":0.23137254901960785,"blue":0.2784313725490196,"alpha":1})";

QByteArray annotationJson(const QByteArray& shape, const QByteArray& tail = QByteArray()) {
    return QByteArray(R"({"id":")") + kId + R"(","shape":)" + shape + R"(,"color":)" + kRed +
           R"(,"size":5,"shadow":true,"textStyle":"plain")" + tail + "}";
}

const QByteArray kBackground =
    R"({"isEnabled":false,"fill":{"gradient":{"_0":0}},"padding":48,"cornerRadius":10,)"
    R"("shadow":true,"aspect":"auto"})";

QByteArray stateJson(const QByteArray& annotations, const QByteArray& middle = QByteArray(),
                     const QByteArray& background = kBackground) {
    return "{\"annotations\":[" + annotations + "]" + middle + ",\"background\":" + background +
           "}";
}

struct Fixture {
    Fixture(const char* n, QByteArray in, QByteArray re = QByteArray())
        : name(n), input(std::move(in)), reencoded(std::move(re)) {}
    const char* name;
    QByteArray input;
    // Empty: re-encodes to `input` exactly. Otherwise what it re-encodes to.
    QByteArray reencoded;
};

class Valid : public testing::TestWithParam<Fixture> {};

TEST_P(Valid, StateDecodesAndReencodesByteForByte) {
    const Fixture& f = GetParam();
    json::DecodeError error;
    const std::optional<EditorState> state = editorStateFromJson(f.input, &error);
    ASSERT_TRUE(state) << error.description.toStdString();
    const QByteArray expected = f.reencoded.isEmpty() ? f.input : f.reencoded;
    EXPECT_EQ(editorStateToJson(*state).value_or("<failed>"), expected);
    // And the re-encoded form reads back to an equal state.
    EXPECT_EQ(editorStateFromJson(expected), state);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Valid,
    testing::Values(
        Fixture{"default", stateJson("")},
        Fixture{"arrow",
                stateJson(annotationJson(R"({"arrow":{"start":[40,60],"end":[220,140]}})"))},
        Fixture{"line", stateJson(annotationJson(R"({"line":{"start":[0.5,1.25],"end":[-3,4]}})"))},
        Fixture{"blur", stateJson(annotationJson(R"({"blur":{"_0":[[10,10],[200,50]]}})"))},
        Fixture{"negativeRect",
                stateJson(annotationJson(R"({"rectangle":{"_0":[[100,80],[-40,-30]]}})"))},
        Fixture{"everyRectShape",
                stateJson(annotationJson(R"({"filledRectangle":{"_0":[[1,2],[3,4]]}})") + "," +
                          annotationJson(R"({"ellipse":{"_0":[[1,2],[0,4]]}})") + "," +
                          annotationJson(R"({"pixelate":{"_0":[[1,2],[3,4]]}})") + "," +
                          annotationJson(R"({"spotlight":{"_0":[[1,2],[3,4]]}})"))},
        Fixture{"counter",
                stateJson(annotationJson(R"({"counter":{"center":[64,64],"number":3}})"))},
        Fixture{
            "text",
            stateJson(annotationJson(
                R"({"text":{"origin":[12,8],"string":"Line \"one\"\nLine\ttwo \\ a\/b ü 😀"}})"))},
        Fixture{"emptyPencil", stateJson(annotationJson(R"({"pencil":{"_0":[]}})"))},
        Fixture{"highlighter",
                stateJson(annotationJson(R"({"highlighter":{"_0":[[1,2],[3.5,4],[5,6]]}})"))},
        Fixture{
            "filledText",
            stateJson(
                QByteArray(R"({"id":")") + kId +
                R"(","shape":{"text":{"origin":[0,0],"string":""}},"color":{"red":0,"green":0,"blue":0,"alpha":0.5},"size":9,"shadow":false,"textStyle":"filled"})")},
        Fixture{"crop", stateJson("", R"(,"crop":[[10,20],[101,51]])")},
        Fixture{
            "solidBackground",
            stateJson(
                "", "",
                R"({"isEnabled":true,"fill":{"solid":{"_0":{"red":0.1,"green":0.2,"blue":0.3,"alpha":1}}},"padding":54,"cornerRadius":0,"shadow":false,"aspect":"sixteenNine"})")},
        // Readers take any member order, ignore unknown keys and a null crop;
        // the writer puts members back in field order.
        Fixture{
            "reordered",
            R"({"background":{"aspect":"square","shadow":true,"cornerRadius":10,"padding":48,"fill":{"gradient":{"_0":3},"other":1},"isEnabled":true,"extra":0},"crop":null,"annotations":[{"textStyle":"plain","shadow":true,"size":5,"color":{"alpha":1,"blue":0,"green":0,"red":1},"shape":{"line":{"end":[3,4],"start":[1,2],"x":0},"unknown":{}},"id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f","note":"x"}],"version":7})",
            stateJson(
                QByteArray(R"({"id":")") + kId +
                    R"(","shape":{"line":{"start":[1,2],"end":[3,4]}},"color":{"red":1,"green":0,"blue":0,"alpha":1},"size":5,"shadow":true,"textStyle":"plain"})",
                "",
                R"({"isEnabled":true,"fill":{"gradient":{"_0":3}},"padding":48,"cornerRadius":10,"shadow":true,"aspect":"square"})")},
        // Absurd sizes are read within the ranges the editor offers.
        Fixture{
            "clamped",
            stateJson(
                QByteArray(R"({"id":")") + kId +
                    R"(","shape":{"line":{"start":[1e300,-1e300],"end":[3,4]}},"color":{"red":1,"green":0,"blue":0,"alpha":1},"size":1e200,"shadow":true,"textStyle":"plain"})",
                R"(,"crop":[[-1e250,0],[1e250,5]])",
                R"({"isEnabled":true,"fill":{"gradient":{"_0":-3}},"padding":1e308,"cornerRadius":-5,"shadow":true,"aspect":"auto"})"),
            stateJson(
                QByteArray(R"({"id":")") + kId +
                    R"(","shape":{"line":{"start":[1000000,-1000000],"end":[3,4]}},"color":{"red":1,"green":0,"blue":0,"alpha":1},"size":100,"shadow":true,"textStyle":"plain"})",
                R"(,"crop":[[-1000000,0],[1000000,5]])",
                R"({"isEnabled":true,"fill":{"gradient":{"_0":-3}},"padding":240,"cornerRadius":0,"shadow":true,"aspect":"auto"})")}),
    [](const testing::TestParamInfo<Fixture>& info) { return std::string(info.param.name); });

struct Broken {
    const char* name;
    QByteArray input;
    const char* description;
    QStringList path;
};

class Invalid : public testing::TestWithParam<Broken> {};

TEST_P(Invalid, StateFailsWithTheDecodersDescription) {
    const Broken& b = GetParam();
    json::DecodeError error;
    EXPECT_EQ(editorStateFromJson(b.input, &error), std::nullopt);
    EXPECT_EQ(error.description, QString::fromUtf8(b.description));
    EXPECT_EQ(error.codingPath, b.path);
}

const char* const kOneKey = "Invalid number of keys found, expected one.";

INSTANTIATE_TEST_SUITE_P(
    Forms, Invalid,
    testing::Values(
        Broken{"lineAndArrow",
               stateJson(annotationJson(
                   R"({"line":{"start":[0,0],"end":[1,1]},"arrow":{"start":[0,0],"end":[1,1]}})")),
               kOneKey,
               {"annotations", "Index 0", "shape"}},
        Broken{"emptyShape",
               stateJson(annotationJson("{}")),
               kOneKey,
               {"annotations", "Index 0", "shape"}},
        Broken{"onlyUnknownShape",
               stateJson(annotationJson(R"({"circle":{"_0":[[0,0],[1,1]]}})")),
               kOneKey,
               {"annotations", "Index 0", "shape"}},
        Broken{
            "gradientAndSolid",
            stateJson(
                "", "",
                R"({"isEnabled":false,"fill":{"gradient":{"_0":0},"solid":{"_0":{"red":0,"green":0,"blue":0,"alpha":1}}},"padding":48,"cornerRadius":10,"shadow":true,"aspect":"auto"})"),
            kOneKey,
            {"background", "fill"}},
        Broken{
            "noFillCase",
            stateJson(
                "", "",
                R"({"isEnabled":false,"fill":{},"padding":48,"cornerRadius":10,"shadow":true,"aspect":"auto"})"),
            kOneKey,
            {"background", "fill"}},
        Broken{
            "counterWithoutNumber",
            stateJson(annotationJson(R"({"counter":{"center":[1,2]}})")),
            R"(No value associated with key CodingKeys(stringValue: "number", intValue: nil) ("number").)",
            {"annotations", "Index 0", "shape", "counter"}},
        Broken{"fractionalCounter",
               stateJson(annotationJson(R"({"counter":{"center":[1,2],"number":2.5}})")),
               "Parsed JSON number <2.5> does not fit in Int.",
               {"annotations", "Index 0", "shape", "counter", "number"}},
        Broken{
            "withoutShadow",
            stateJson(
                QByteArray(R"({"id":")") + kId +
                R"(","shape":{"line":{"start":[0,0],"end":[1,1]}},"color":{"red":0,"green":0,"blue":0,"alpha":1},"size":5,"textStyle":"plain"})"),
            R"(No value associated with key CodingKeys(stringValue: "shadow", intValue: nil) ("shadow").)",
            {"annotations", "Index 0"}},
        Broken{
            "unknownTextStyle",
            stateJson(
                QByteArray(R"({"id":")") + kId +
                R"(","shape":{"line":{"start":[0,0],"end":[1,1]}},"color":{"red":0,"green":0,"blue":0,"alpha":1},"size":5,"shadow":true,"textStyle":"bold"})"),
            "Cannot initialize TextStyle from invalid String value bold",
            {"annotations", "Index 0", "textStyle"}},
        Broken{
            "colourWithoutAlpha",
            stateJson(
                QByteArray(R"({"id":")") + kId +
                R"(","shape":{"line":{"start":[0,0],"end":[1,1]}},"color":{"red":0,"green":0,"blue":0},"size":5,"shadow":true,"textStyle":"plain"})"),
            R"(No value associated with key "alpha".)",
            {"annotations", "Index 0", "color", "alpha"}},
        Broken{"badId",
               stateJson(annotationJson(R"({"line":{"start":[0,0],"end":[1,1]}})"))
                   .replace("E621E1F8-", "E621E1F8"),
               "Attempted to decode UUID from invalid UUID string.",
               {"annotations", "Index 0", "id"}},
        Broken{"shortPoint",
               stateJson(annotationJson(R"({"line":{"start":[0],"end":[1,1]}})")),
               "Unkeyed container is at end.",
               {"annotations", "Index 0", "shape", "line", "start", "Index 1"}},
        Broken{"stringCoordinate",
               stateJson(annotationJson(R"({"pencil":{"_0":[[0,0],[1,"2"]]}})")),
               "Expected to decode Double but found a string instead.",
               {"annotations", "Index 0", "shape", "pencil", "_0", "Index 1", "Index 1"}},
        Broken{
            "noBackground",
            R"({"annotations":[]})",
            R"(No value associated with key CodingKeys(stringValue: "background", intValue: nil) ("background").)",
            {}},
        Broken{
            "noAnnotations",
            "{\"background\":" + kBackground + "}",
            R"(No value associated with key CodingKeys(stringValue: "annotations", intValue: nil) ("annotations").)",
            {}},
        Broken{
            "noAspect",
            stateJson(
                "", "",
                R"({"isEnabled":false,"fill":{"gradient":{"_0":0}},"padding":48,"cornerRadius":10,"shadow":true})"),
            R"(No value associated with key CodingKeys(stringValue: "aspect", intValue: nil) ("aspect").)",
            {"background"}},
        Broken{
            "unknownAspect",
            stateJson(
                "", "",
                R"({"isEnabled":false,"fill":{"gradient":{"_0":0}},"padding":48,"cornerRadius":10,"shadow":true,"aspect":"wide"})"),
            "Cannot initialize BackgroundAspect from invalid String value wide",
            {"background", "aspect"}},
        Broken{"cropNotPairs",
               stateJson("", R"(,"crop":[1,2,3,4])"),
               "Expected to decode Array<Any> but found number instead.",
               {"crop", "Index 0"}},
        Broken{"truncated", stateJson("").chopped(5), "The given data was not valid JSON.", {}},
        Broken{"notJson", "edit", "The given data was not valid JSON.", {}},
        Broken{"topLevelArray",
               "[]",
               "Expected to decode Dictionary<String, Any> but found an array instead.",
               {}}),
    [](const testing::TestParamInfo<Broken>& info) { return std::string(info.param.name); });

TEST(AnnotationJson, WritesTheFieldsInOrderWithAnUppercaseId) {
    Annotation a{QUuid::fromString(QStringLiteral("{e621e1f8-c36c-495a-93fc-0c247a3e6e5f}")),
                 Shape::arrow({40, 60}, {220, 140}),
                 RGBA::palette()[0],
                 5,
                 true,
                 TextStyle::plain};
    EXPECT_EQ(*annotationToJson(a),
              annotationJson(R"({"arrow":{"start":[40,60],"end":[220,140]}})"));
}

TEST(AnnotationJson, NotFiniteNumbersFailTheEncoding) {
    const double inf = std::numeric_limits<double>::infinity();
    Annotation a{QUuid::createUuid(), Shape::line({0, 0}, {inf, 1}), RGBA{}, 5, true,
                 TextStyle::plain};
    EXPECT_EQ(annotationToJson(a), std::nullopt);
    a.shape = Shape::line({0, 0}, {1, 1});
    a.color.alpha = std::nan("");
    EXPECT_EQ(annotationToJson(a), std::nullopt);
    EditorState state;
    state.background.padding = inf;
    EXPECT_EQ(editorStateToJson(state), std::nullopt);
}

// Sizes beyond the style controls' steps are kept as written; only runaway
// values are bounded, and a size that is no number at all fails the record.
TEST(AnnotationJson, StoredSizesAreKeptUpToARunawayBound) {
    struct Case {
        QByteArray stored;
        std::optional<double> read;
    };
    const Case cases[] = {
        {"0", 0},
        {"2", 2},
        {"9", 9},
        {"9.5", 9.5},
        {"20", 20},
        {"100", 100},
        {"100.5", 100},
        {"1e9", 100},
        {"1e300", 100},
        {"-3", 0},
        {"-1e300", 0},
        {"1e999", std::nullopt},
        {"\"20\"", std::nullopt},
        {"null", std::nullopt},
    };
    for (const Case& c : cases) {
        QByteArray json = annotationJson(R"({"line":{"start":[0,0],"end":[1,1]}})");
        json.replace(R"("size":5)", "\"size\":" + c.stored);
        json::DecodeError error;
        const std::optional<Annotation> a = annotationFromJson(json, &error);
        ASSERT_EQ(a.has_value(), c.read.has_value()) << c.stored.constData();
        if (a) {
            EXPECT_EQ(a->size, *c.read) << c.stored.constData();
        } else {
            EXPECT_FALSE(error.description.isEmpty()) << c.stored.constData();
        }
    }

    // JSON text has no NaN, but a value built in memory may.
    QJsonObject object =
        QJsonDocument::fromJson(annotationJson(R"({"line":{"start":[0,0],"end":[1,1]}})")).object();
    object[QStringLiteral("size")] = std::nan("");
    json::Decoder decoder;
    EXPECT_EQ(decodeAnnotation(decoder, object), std::nullopt);
    ASSERT_TRUE(decoder.error());
    EXPECT_EQ(decoder.error()->codingPath, QStringList({"size"}));
}

TEST(AnnotationJson, NumbersTooLargeForADoubleAreRejected) {
    json::DecodeError error;
    EXPECT_EQ(
        annotationFromJson(annotationJson(R"({"line":{"start":[1e999,0],"end":[1,1]}})"), &error),
        std::nullopt);
}

} // namespace
