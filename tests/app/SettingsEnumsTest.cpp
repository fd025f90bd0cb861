#include "app/SettingsEnums.h"
#include "app/Recording.h"

#include <gtest/gtest.h>

#include <vector>

using namespace app;

namespace {

template <typename E> std::vector<QString> rawValues() {
    std::vector<QString> raws;
    for (E value : allCases<E>()) {
        raws.push_back(rawValue(value));
        EXPECT_EQ(fromRawValue<E>(raws.back()), value);
    }
    return raws;
}

TEST(SettingsEnums, CasesInDeclarationOrderWithTheirRawValues) {
    using V = std::vector<QString>;
    EXPECT_EQ(rawValues<ImageFormat>(), (V{"png", "jpeg"}));
    EXPECT_EQ(rawValues<RecordingQuality>(), (V{"high", "standard"}));
    EXPECT_EQ(rawValues<ScreenCorner>(), (V{"bottomLeft", "bottomRight"}));
    EXPECT_EQ(rawValues<KeystrokeMode>(), (V{"shortcutsOnly", "allKeys"}));
    EXPECT_EQ(rawValues<KeystrokePosition>(), (V{"bottom", "top", "left", "right"}));
    EXPECT_EQ(rawValues<CameraShape>(), (V{"circle", "roundedRectangle"}));
    EXPECT_EQ(rawValues<CameraSize>(), (V{"small", "medium", "large"}));
    EXPECT_EQ(rawValues<Recording::Format>(), (V{"video", "gif"}));
}

TEST(SettingsEnums, OnlyExactRawValuesAreRecognised) {
    EXPECT_EQ(fromRawValue<CameraShape>("Circle"), std::nullopt);
    EXPECT_EQ(fromRawValue<ImageFormat>("JPEG"), std::nullopt);
    EXPECT_EQ(fromRawValue<ImageFormat>("jpg"), std::nullopt);
    EXPECT_EQ(fromRawValue<ImageFormat>(" jpeg"), std::nullopt);
    EXPECT_EQ(fromRawValue<Recording::Format>("GIF"), std::nullopt);
    EXPECT_EQ(fromRawValue<KeystrokePosition>(""), std::nullopt);
}

TEST(SettingsEnums, UnrecognisedStringsFallBackToTheDefaultCase) {
    EXPECT_EQ(fromRawValueOrDefault<ImageFormat>("JPEG"), ImageFormat::png);
    EXPECT_EQ(fromRawValueOrDefault<RecordingQuality>("5"), RecordingQuality::high);
    EXPECT_EQ(fromRawValueOrDefault<ScreenCorner>("topLeft"), ScreenCorner::bottomLeft);
    EXPECT_EQ(fromRawValueOrDefault<KeystrokeMode>(""), KeystrokeMode::shortcutsOnly);
    EXPECT_EQ(fromRawValueOrDefault<KeystrokePosition>("middle"), KeystrokePosition::bottom);
    EXPECT_EQ(fromRawValueOrDefault<KeystrokePosition>("left"), KeystrokePosition::left);
    EXPECT_EQ(fromRawValueOrDefault<CameraShape>("square"), CameraShape::circle);
    EXPECT_EQ(fromRawValueOrDefault<CameraSize>("huge"), CameraSize::medium);
    EXPECT_EQ(fromRawValueOrDefault<CameraSize>("small"), CameraSize::small);
    EXPECT_EQ(fromRawValueOrDefault<Recording::Format>("mp4"), Recording::Format::video);
}

TEST(SettingsEnums, EnglishTitlesAndImageFileTypes) {
    EXPECT_EQ(title(RecordingQuality::standard), "Standard");
    EXPECT_EQ(title(ScreenCorner::bottomRight), "Right");
    EXPECT_EQ(title(KeystrokeMode::shortcutsOnly), "Shortcuts only");
    EXPECT_EQ(title(KeystrokePosition::left), "Left");
    EXPECT_EQ(title(CameraShape::roundedRectangle), "Rounded rectangle");
    EXPECT_EQ(title(CameraSize::large), "Large");
    EXPECT_EQ(fileExtension(ImageFormat::png), "png");
    EXPECT_EQ(fileExtension(ImageFormat::jpeg), "jpg");
    EXPECT_EQ(mimeType(ImageFormat::jpeg), "image/jpeg");
}

} // namespace
