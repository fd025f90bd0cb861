#include "app/Bundle.h"

#include <gtest/gtest.h>

namespace {

struct DisplayNameCase {
    const char* name;
    QVariantMap info;
    QString expected;
};

TEST(Bundle, DisplayNameIsTheStringValueOrTheProgramName) {
    const DisplayNameCase cases[] = {
        {"missing", {}, QStringLiteral("Vexlin Capture")},
        {"number", {{QStringLiteral("CFBundleDisplayName"), 42}}, QStringLiteral("Vexlin Capture")},
        {"empty string", {{QStringLiteral("CFBundleDisplayName"), QString()}}, QString()},
        {"string",
         {{QStringLiteral("CFBundleDisplayName"), QStringLiteral("Vexlin Beta")}},
         QStringLiteral("Vexlin Beta")},
    };
    for (const DisplayNameCase& c : cases) {
        EXPECT_EQ(app::Bundle(c.info).appDisplayName(), c.expected) << c.name;
    }
}

TEST(Bundle, VersionComesFromTheBuild) {
    EXPECT_EQ(app::Bundle::main().shortVersionString(), QStringLiteral(VEXLIN_VERSION));
    EXPECT_FALSE(app::Bundle::main().shortVersionString().isEmpty());
    EXPECT_EQ(app::Bundle::main().appDisplayName(), QStringLiteral("Vexlin Capture"));
    EXPECT_EQ(app::Bundle({{QStringLiteral("CFBundleShortVersionString"), 2}}).shortVersionString(),
              QString());
}

} // namespace
