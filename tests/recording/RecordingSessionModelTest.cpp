#include "recording/RecordingSessionModel.h"

#include "app/Preferences.h"
#include "platform/PermissionProbe.h"
#include "support/TempDir.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace recording {
namespace {

class Probe : public platform::PermissionProbe {
public:
    platform::PermissionStatus status(platform::Permission) override {
        ++reads;
        return {granted, {}};
    }
    bool canOpenSettings(platform::Permission) override { return false; }
    void openSettings(platform::Permission) override {}
    bool granted = false;
    int reads = 0;
};

class ModelTest : public ::testing::Test {
protected:
    ModelTest() : preferences(dir.file(QStringLiteral("settings.conf"))) {}
    testsupport::TempDir dir;
    app::Preferences preferences;
    Probe probe;
};

TEST_F(ModelTest, PhasesNotifyOnlyWhenKindOrPayloadDiffers) {
    struct Case {
        SessionPhase from;
        SessionPhase to;
        bool notifies;
    };
    const Case cases[] = {
        {SessionPhase::countdown(3), SessionPhase::countdown(3), false},
        {SessionPhase::countdown(3), SessionPhase::countdown(2), true},
        {SessionPhase::finishing("Saving…"), SessionPhase::finishing("Saving…"), false},
        {SessionPhase::finishing("Saving…"), SessionPhase::finishing("Creating GIF…"), true},
        {SessionPhase::setup(), SessionPhase::setup(), false},
        {SessionPhase::setup(), SessionPhase::recording(), true},
        {SessionPhase::countdown(1), SessionPhase::finishing(""), true},
    };
    for (const Case& c : cases) {
        RecordingSessionModel model(preferences, probe);
        model.setPhase(c.from);
        QSignalSpy spy(&model, &RecordingSessionModel::phaseChanged);
        model.setPhase(c.to);
        EXPECT_EQ(spy.count(), c.notifies ? 1 : 0);
        EXPECT_EQ(model.phase(), c.to);
    }
}

TEST_F(ModelTest, OptionsStartFromTheSettingsAndWriteThroughAlsoWhenUnchanged) {
    preferences.setRecordingFormat(app::Recording::Format::gif);
    preferences.setRecordShowCursor(false);
    preferences.setRecordingHiddenApps({"slack"});
    RecordingSessionModel model(preferences, probe);
    EXPECT_EQ(model.format(), app::Recording::Format::gif);
    EXPECT_FALSE(model.showCursor());
    EXPECT_EQ(model.hiddenApps(), QStringList{"slack"});

    QSignalSpy cursor(&model, &RecordingSessionModel::showCursorChanged);
    QSignalSpy stored(&preferences, &app::Preferences::recordShowCursorChanged);
    model.setShowCursor(false);
    EXPECT_EQ(cursor.count(), 0);
    model.setShowCursor(true);
    EXPECT_EQ(cursor.count(), 1);
    EXPECT_TRUE(preferences.recordShowCursor());

    // The settings changed behind the model's back are written over even by
    // an unchanged value.
    preferences.setRecordSystemAudio(true);
    model.setSystemAudio(false);
    EXPECT_FALSE(preferences.recordSystemAudio());

    int cameraCalls = 0;
    int filterCalls = 0;
    model.onCameraChange = [&] { ++cameraCalls; };
    model.onFilterChange = [&] { ++filterCalls; };
    model.setShowCamera(false); // unchanged, still followed up
    model.setHideNotifications(true);
    EXPECT_EQ(cameraCalls, 1);
    EXPECT_EQ(filterCalls, 1);
    EXPECT_TRUE(preferences.recordingHideNotifications());

    // A new model starts where the last one left the settings.
    RecordingSessionModel next(preferences, probe);
    EXPECT_TRUE(next.showCursor());
    EXPECT_TRUE(next.hideNotifications());
}

TEST_F(ModelTest, SetApp) {
    struct Case {
        const char* what;
        QStringList before;
        QString id;
        bool hidden;
        QStringList after;
        int filterCalls;
        int notified;
    };
    const Case cases[] = {
        {"hide appends", {"a"}, "b", true, {"a", "b"}, 1, 1},
        {"hiding a hidden one changes nothing", {"a", "b"}, "a", true, {"a", "b"}, 0, 0},
        {"show removes every occurrence", {"a", "b", "a", "c"}, "a", false, {"b", "c"}, 1, 1},
        {"showing one not hidden still writes", {"a"}, "z", false, {"a"}, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        preferences.setRecordingHiddenApps(c.before);
        RecordingSessionModel model(preferences, probe);
        int filterCalls = 0;
        model.onFilterChange = [&] { ++filterCalls; };
        QSignalSpy spy(&model, &RecordingSessionModel::hiddenAppsChanged);
        model.setApp(c.id, c.hidden);
        EXPECT_EQ(model.hiddenApps(), c.after);
        EXPECT_EQ(preferences.recordingHiddenApps(), c.after);
        EXPECT_EQ(filterCalls, c.filterCalls);
        EXPECT_EQ(spy.count(), c.notified);
    }
}

TEST_F(ModelTest, KeystrokesNeedTheRecordExtension) {
    preferences.setRecordShowKeystrokes(true);
    {
        RecordingSessionModel model(preferences, probe);
        EXPECT_TRUE(model.needsInputMonitoring());
        QSignalSpy spy(&model, &RecordingSessionModel::needsInputMonitoringChanged);
        model.setShowKeystrokes(false);
        EXPECT_FALSE(model.needsInputMonitoring());
        // Switched on again once the server offers RECORD: asked anew.
        probe.granted = true;
        model.setShowKeystrokes(true);
        EXPECT_FALSE(model.needsInputMonitoring());
        EXPECT_EQ(spy.count(), 1);
    }
    probe.granted = false;
    preferences.setRecordShowKeystrokes(false);
    RecordingSessionModel off(preferences, probe);
    EXPECT_FALSE(off.needsInputMonitoring());
    off.setShowKeystrokes(true);
    EXPECT_TRUE(off.needsInputMonitoring());
}

} // namespace
} // namespace recording
