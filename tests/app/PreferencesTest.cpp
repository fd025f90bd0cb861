#include "app/Preferences.h"
#include "app/FilePanels.h"
#include "app/SettingsFile.h"

#include "support/ScratchMount.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaProperty>
#include <QSettings>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace app;

namespace {

// A settings file in a folder that does not exist yet, as on a first start.
class PreferencesTest : public ::testing::Test {
protected:
    QString path() const { return dir_.file(QStringLiteral("Vexlin/VexlinCapture.conf")); }

    void seed(const QByteArray& ini) const {
        QDir().mkpath(QFileInfo(path()).path());
        testsupport::writeAll(path(), ini);
    }

    // What the file on disk holds, parsed afresh: a QSettings over the same
    // path would answer from the in-process cache instead.
    std::unique_ptr<QSettings> onDisk() {
        const QString copy = dir_.file(QStringLiteral("copy-%1.conf").arg(++copies_));
        EXPECT_TRUE(QFile::copy(path(), copy));
        return std::make_unique<QSettings>(copy, QSettings::IniFormat);
    }

    testsupport::TempDir dir_;
    int copies_ = 0;
};

QStringList declaredKeys() {
    QStringList keys;
    for (const SettingDescriptor& setting : Preferences::declarations()) {
        keys << setting.key;
    }
    return keys;
}

ShortcutMap withEntry(CaptureAction action, std::optional<KeyShortcut> shortcut) {
    ShortcutMap map = ShortcutMap::defaults();
    map.set(action, shortcut);
    return map;
}

TEST_F(PreferencesTest, FirstStartHasEveryDefaultAndWritesNothing) {
    const Preferences p(path());
    EXPECT_TRUE(p.showQuickAccess());
    EXPECT_TRUE(p.copyToClipboard());
    EXPECT_FALSE(p.saveToDisk());
    EXPECT_FALSE(p.openEditor());
    EXPECT_TRUE(p.playSounds());
    EXPECT_EQ(p.imageFormat(), ImageFormat::png);
    EXPECT_EQ(p.saveFolderBookmark(), std::nullopt);
    EXPECT_TRUE(p.windowShadow());
    EXPECT_FALSE(p.showCursor());
    EXPECT_TRUE(p.showMagnifier());
    EXPECT_TRUE(p.showCrosshair());
    EXPECT_TRUE(p.ocrKeepLineBreaks());
    EXPECT_EQ(p.captureTimer(), 0);
    EXPECT_FALSE(p.autoScrollImmediately());
    EXPECT_EQ(p.recordingFormat(), Recording::Format::video);
    EXPECT_FALSE(p.recordSystemAudio());
    EXPECT_FALSE(p.recordMicrophone());
    EXPECT_TRUE(p.recordShowCursor());
    EXPECT_TRUE(p.recordWindowsAlone());
    EXPECT_FALSE(p.recordHighlightClicks());
    EXPECT_FALSE(p.recordShowKeystrokes());
    EXPECT_EQ(p.keystrokeMode(), KeystrokeMode::shortcutsOnly);
    EXPECT_EQ(p.keystrokePosition(), KeystrokePosition::bottom);
    EXPECT_TRUE(p.recordingHiddenApps().isEmpty());
    EXPECT_FALSE(p.recordingHideNotifications());
    EXPECT_FALSE(p.recordShowCamera());
    EXPECT_EQ(p.cameraDeviceID(), std::nullopt);
    EXPECT_EQ(p.cameraShape(), CameraShape::circle);
    EXPECT_EQ(p.cameraSize(), CameraSize::medium);
    EXPECT_TRUE(p.cameraMirrored());
    EXPECT_TRUE(p.cameraPositions().isEmpty());
    EXPECT_EQ(p.recordingFPS(), 30);
    EXPECT_EQ(p.recordingQuality(), RecordingQuality::high);
    EXPECT_TRUE(p.recordingRetina());
    EXPECT_EQ(p.recordingCountdown(), 0);
    EXPECT_EQ(p.gifFPS(), 15);
    EXPECT_EQ(p.gifMaxWidth(), 1000);
    EXPECT_EQ(p.quickAccessCorner(), ScreenCorner::bottomLeft);
    EXPECT_FALSE(p.quickAccessAutoClose());
    EXPECT_EQ(p.quickAccessCloseAfter(), 10);
    EXPECT_FALSE(p.closeEditorAfterExport());
    EXPECT_TRUE(p.keepAnnotationsEditable());
    EXPECT_TRUE(p.editorShowsRecent());
    EXPECT_FALSE(p.hasCompletedOnboarding());
    EXPECT_EQ(p.shortcuts(), ShortcutMap::defaults());
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(PreferencesTest, FortyRegisteredDefaultsInOrderAndFortyFiveProperties) {
    QStringList keys;
    for (const auto& entry : Preferences::registeredDefaults()) {
        keys << entry.first;
    }
    EXPECT_EQ(keys.join(' '),
              "showQuickAccess copyToClipboard saveToDisk openEditor playSounds imageFormat "
              "windowShadow showCursor showMagnifier showCrosshair ocrKeepLineBreaks captureTimer "
              "autoScrollImmediately recordingFormat recordSystemAudio recordMicrophone "
              "recordShowCursor recordWindowsAlone recordHighlightClicks recordShowKeystrokes "
              "keystrokeMode keystrokePosition recordingHideNotifications recordShowCamera "
              "cameraShape cameraSize cameraMirrored recordingFPS recordingQuality recordingRetina "
              "recordingCountdown gifFPS gifMaxWidth quickAccessCorner quickAccessAutoClose "
              "quickAccessCloseAfter closeEditorAfterExport keepAnnotationsEditable "
              "editorShowsRecent hasCompletedOnboarding");
    EXPECT_EQ(keys.size(), 40);

    const QMetaObject& meta = Preferences::staticMetaObject;
    EXPECT_EQ(meta.propertyCount() - meta.propertyOffset(), 45);
}

TEST_F(PreferencesTest, DeclarationsAreTheQtPropertiesAndGiveTheirDefaultsOnFirstStart) {
    const QList<SettingDescriptor>& declared = Preferences::declarations();
    const Preferences p(path());
    const QMetaObject& meta = Preferences::staticMetaObject;
    ASSERT_EQ(meta.propertyCount() - meta.propertyOffset(), declared.size());
    for (int i = 0; i < declared.size(); ++i) {
        const SettingDescriptor& setting = declared[i];
        const QMetaProperty property = meta.property(meta.propertyOffset() + i);
        EXPECT_EQ(property.name(), setting.key);
        EXPECT_TRUE(property.isWritable()) << setting.key.toStdString();
        EXPECT_EQ(property.metaType(), setting.defaultValue.metaType())
            << setting.key.toStdString();
        EXPECT_EQ(property.notifySignal().name(), setting.key + "Changed");
        EXPECT_EQ(property.read(&p), setting.defaultValue) << setting.key.toStdString();
        EXPECT_EQ(setting.choices.isEmpty(), setting.kind != SettingKind::choice)
            << setting.key.toStdString();
        EXPECT_TRUE(setting.kind == SettingKind::integer || setting.rule == IntegerRule{})
            << setting.key.toStdString();
    }
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(PreferencesTest, RegisteredDefaultsAreTheDeclaredDefaultsInTheFilesForm) {
    QStringList registered;
    for (const SettingDescriptor& setting : Preferences::declarations()) {
        if (setting.registered) {
            registered << setting.key;
        }
    }
    QStringList keys;
    for (const auto& [key, value] : Preferences::registeredDefaults()) {
        keys << key;
        // Stored under its key, the registered default loads as the default.
        const QString file = dir_.file(QStringLiteral("registered-%1.conf").arg(key));
        QSettings(file, QSettings::IniFormat).setValue(key, value);
        const Preferences p(file);
        const auto setting =
            std::find_if(Preferences::declarations().begin(), Preferences::declarations().end(),
                         [&key = key](const SettingDescriptor& s) { return s.key == key; });
        ASSERT_NE(setting, Preferences::declarations().end()) << key.toStdString();
        // A choice is registered as its raw string, the rest as themselves.
        if (setting->kind == SettingKind::choice) {
            EXPECT_EQ(value.typeId(), QMetaType::QString) << key.toStdString();
            EXPECT_TRUE(setting->choices.contains(value.toString())) << key.toStdString();
        } else {
            EXPECT_EQ(value, setting->defaultValue) << key.toStdString();
        }
        EXPECT_EQ(p.property(key.toLatin1()), setting->defaultValue) << key.toStdString();
        EXPECT_TRUE(testsupport::readAll(file).contains(key.toLatin1() + '=')) << key.toStdString();
    }
    EXPECT_EQ(keys, registered);
}

// Each declared repair acts on its own setting, and every stored value that
// reads as its type and passes the repair loads unchanged.
TEST_F(PreferencesTest, EveryDeclaredSettingLoadsWhatItsRuleKeepsAndRepairsTheRest) {
    struct Probe {
        QString stored;
        QVariant expected; // none: the loaded value writes `stored` again
    };
    for (const SettingDescriptor& setting : Preferences::declarations()) {
        QList<Probe> probes;
        switch (setting.kind) {
        case SettingKind::boolean:
            probes = {{"true", true}, {"false", false}, {"maybe", setting.defaultValue}};
            break;
        case SettingKind::integer:
            // Every stored number is one of a list or within a range, so no
            // reader ever narrows a huge one.
            EXPECT_TRUE(!setting.rule.allowed.isEmpty() ||
                        (setting.rule.minimum && setting.rule.maximum))
                << setting.key.toStdString();
            probes = {{"abc", setting.defaultValue}};
            for (qint64 allowed : setting.rule.allowed) {
                probes.append({QString::number(allowed), allowed});
            }
            if (!setting.rule.allowed.isEmpty()) {
                const qint64 outside =
                    *std::max_element(setting.rule.allowed.begin(), setting.rule.allowed.end()) + 1;
                probes.append({QString::number(outside), setting.defaultValue});
                probes.append({"-1", setting.defaultValue});
            }
            if (setting.rule.minimum) {
                const qint64 minimum = *setting.rule.minimum;
                probes.append({QString::number(minimum - 1), minimum});
                probes.append({QString::number(minimum), minimum});
                probes.append({QString::number(minimum + 1), minimum + 1});
            }
            if (setting.rule.maximum) {
                // Past the end, however far: 2^40 is 0 in 32 bits.
                const qint64 maximum = *setting.rule.maximum;
                probes.append({QString::number(maximum), maximum});
                probes.append({QString::number(maximum + 1), maximum});
                probes.append({"1099511627776", maximum});
                probes.append({"9223372036854775807", maximum});
            }
            ASSERT_GE(probes.size(), 4) << "no load rule: " << setting.key.toStdString();
            break;
        case SettingKind::choice:
            for (const QString& raw : setting.choices) {
                probes.append({raw, QVariant()});
                probes.append({raw.toUpper(), setting.defaultValue});
            }
            probes.append({"", setting.defaultValue});
            break;
        default:
            // The stored forms of the other kinds are pinned by the files of
            // earlier builds and their own tests.
            continue;
        }
        for (const Probe& probe : probes) {
            const QString file = dir_.file(QStringLiteral("probe-%1.conf").arg(++copies_));
            testsupport::writeAll(file, "[General]\n" + setting.key.toLatin1() + '=' +
                                            probe.stored.toUtf8() + '\n');
            Preferences p(file);
            const QByteArray name = setting.key.toLatin1();
            const std::string where = (setting.key + '=' + probe.stored).toStdString();
            if (probe.expected.isValid()) {
                EXPECT_EQ(p.property(name), probe.expected) << where;
            } else {
                // The case whose raw value was stored is the one that writes
                // that raw value again.
                const QString copy = dir_.file(QStringLiteral("probe-%1.conf").arg(++copies_));
                Preferences(copy).setProperty(name, p.property(name));
                EXPECT_TRUE(testsupport::readAll(copy).contains('\n' + name + '=' +
                                                                probe.stored.toUtf8() + '\n'))
                    << where;
            }
        }
    }
}

struct LoadCase {
    const char* stored; // one INI line
    const char* property;
    QVariant expected;
};

TEST_F(PreferencesTest, LoadRepairsValuesOutOfRangeOrOfTheWrongType) {
    const LoadCase cases[] = {
        {"captureTimer=7", "captureTimer", qint64(0)},
        {"captureTimer=3", "captureTimer", qint64(3)},
        {"captureTimer=5", "captureTimer", qint64(5)},
        {"captureTimer=10", "captureTimer", qint64(10)},
        {"captureTimer=abc", "captureTimer", qint64(0)},
        {"recordingFPS=24", "recordingFPS", qint64(30)},
        {"recordingFPS=120", "recordingFPS", qint64(30)},
        {"recordingFPS=0", "recordingFPS", qint64(0)},
        {"recordingFPS=60", "recordingFPS", qint64(60)},
        {"recordingCountdown=-2", "recordingCountdown", qint64(0)},
        {"recordingCountdown=99", "recordingCountdown", qint64(99)},
        {"gifFPS=0", "gifFPS", qint64(5)},
        {"gifFPS=60", "gifFPS", qint64(60)},
        {"gifFPS=abc", "gifFPS", qint64(15)},
        {"gifFPS=12.5", "gifFPS", qint64(15)},
        {"gifMaxWidth=50", "gifMaxWidth", qint64(200)},
        {"gifMaxWidth=4000", "gifMaxWidth", qint64(4000)},
        {"quickAccessCloseAfter=1", "quickAccessCloseAfter", qint64(3)},
        {"quickAccessCloseAfter=true", "quickAccessCloseAfter", qint64(10)},
        {"imageFormat=JPEG", "imageFormat", QVariant::fromValue(ImageFormat::png)},
        {"imageFormat=jpeg", "imageFormat", QVariant::fromValue(ImageFormat::jpeg)},
        {"imageFormat=\"jpeg, png\"", "imageFormat", QVariant::fromValue(ImageFormat::png)},
        {"imageFormat=jpeg, png", "imageFormat", QVariant::fromValue(ImageFormat::png)},
        {"recordingFormat=gif", "recordingFormat", QVariant::fromValue(Recording::Format::gif)},
        {"recordingFormat=mp4", "recordingFormat", QVariant::fromValue(Recording::Format::video)},
        {"keystrokePosition=middle", "keystrokePosition",
         QVariant::fromValue(KeystrokePosition::bottom)},
        {"keystrokePosition=top", "keystrokePosition", QVariant::fromValue(KeystrokePosition::top)},
        {"keystrokeMode=allKeys", "keystrokeMode", QVariant::fromValue(KeystrokeMode::allKeys)},
        {"cameraSize=huge", "cameraSize", QVariant::fromValue(CameraSize::medium)},
        {"cameraSize=large", "cameraSize", QVariant::fromValue(CameraSize::large)},
        {"cameraShape=roundedRectangle", "cameraShape",
         QVariant::fromValue(CameraShape::roundedRectangle)},
        {"recordingQuality=5", "recordingQuality", QVariant::fromValue(RecordingQuality::high)},
        {"quickAccessCorner=bottomRight", "quickAccessCorner",
         QVariant::fromValue(ScreenCorner::bottomRight)},
        {"playSounds=abc", "playSounds", true},
        {"playSounds=false", "playSounds", false},
        {"saveToDisk=1", "saveToDisk", true},
        {"saveToDisk=7", "saveToDisk", false},
        {"recordingHiddenApps=org.gnome.Terminal", "recordingHiddenApps",
         QStringList{"org.gnome.Terminal"}},
        {"recordingHiddenApps=a, b", "recordingHiddenApps", QStringList{"a", "b"}},
        {"recordingHiddenApps=@Invalid()", "recordingHiddenApps", QStringList()},
        {"cameraDeviceID=a, b", "cameraDeviceID",
         QVariant::fromValue(Preferences::OptionalString())},
        {"saveFolderBookmark=/home/me/Pictures", "saveFolderBookmark",
         QVariant::fromValue(Preferences::OptionalBytes(QByteArray("/home/me/Pictures")))},
        {"saveFolderBookmark=a, b", "saveFolderBookmark",
         QVariant::fromValue(Preferences::OptionalBytes())},
    };
    for (const LoadCase& c : cases) {
        testsupport::writeAll(dir_.file(QStringLiteral("case.conf")),
                              QByteArray("[General]\n") + c.stored + "\n");
        // A new file name per case, so no cached parse of an earlier case answers.
        const QString file = dir_.file(QStringLiteral("case-%1.conf").arg(++copies_));
        QFile::rename(dir_.file(QStringLiteral("case.conf")), file);
        const Preferences p(file);
        EXPECT_EQ(p.property(c.property), c.expected) << c.stored;
        // The repair lives in memory only.
        EXPECT_TRUE(testsupport::readAll(file).contains(c.stored)) << c.stored;
    }
}

TEST_F(PreferencesTest, SeededBadFileLoadsDefaultsForWhatItCannotReadAndLosesNothingElse) {
    // The shortcut map as bytes (the form this program writes) and as text
    // (the form a person or a script would write).
    const QByteArray shortcutForms[] = {
        R"ini(shortcuts="@ByteArray({\"area\": null, \"bogus\": {\"keyCode\": 1, \"modifiers\": 0}})")ini",
        R"(shortcuts="{\"area\": null, \"bogus\": {\"keyCode\": 1, \"modifiers\": 0}}")",
    };
    for (const QByteArray& shortcuts : shortcutForms) {
        seed("[General]\n" + shortcuts +
             "\ncaptureTimer=7\ngifFPS=0\nplaySounds=false\nunknownKey=keep me\n"
             "customAnnotationColors=\"[{\\\"red\\\":1}]\"\n\n[Other]\nvalue=42\n");
        {
            Preferences p(path());
            EXPECT_EQ(p.shortcuts(), withEntry(CaptureAction::area, std::nullopt));
            EXPECT_EQ(p.captureTimer(), 0);
            EXPECT_EQ(p.gifFPS(), 5);
            EXPECT_FALSE(p.playSounds());

            p.setShortcut(CaptureAction::text, KeyShortcut{17, 0x120000});
        }
        const auto disk = onDisk();
        const QJsonObject stored =
            QJsonDocument::fromJson(disk->value("shortcuts").toByteArray()).object();
        EXPECT_EQ(stored.keys(),
                  (QStringList{"area", "areaCopy", "fullscreen", "fullscreenCopy", "record",
                               "scrolling", "text", "window", "windowCopy"}));
        EXPECT_TRUE(stored.value("area").isNull());
        EXPECT_EQ(stored.value("text").toObject(),
                  (QJsonObject{{"keyCode", 17}, {"modifiers", 1179648}}));
        EXPECT_EQ(stored.value("record").toObject(),
                  (QJsonObject{{"keyCode", 26}, {"modifiers", 1703936}}));
        // Nothing else was touched: repaired values stay as they were stored
        // and keys that are not ours survive the write.
        EXPECT_EQ(disk->value("captureTimer").toString(), "7");
        EXPECT_EQ(disk->value("gifFPS").toString(), "0");
        EXPECT_EQ(disk->value("playSounds").toString(), "false");
        EXPECT_EQ(disk->value("unknownKey").toString(), "keep me");
        EXPECT_EQ(disk->value("customAnnotationColors").toString(), R"([{"red":1}])");
        EXPECT_EQ(disk->value("Other/value").toString(), "42");

        // A second store over the same file sees the change.
        const Preferences again(path());
        EXPECT_EQ(again.shortcuts().value(CaptureAction::text), (KeyShortcut{17, 0x120000}));
        EXPECT_EQ(again.shortcuts().value(CaptureAction::area), std::nullopt);
        QFile::remove(path());
    }
}

TEST_F(PreferencesTest, GarbageShortcutsLoadAllDefaultsAndStayStoredUntilTheNextChange) {
    seed("[General]\nshortcuts=\"{\\\"area\\\": null, \\\"text\\\": {\\\"keyCode\\\": 17}}\"\n"
         "gifMaxWidth=640\n");
    Preferences p(path());
    EXPECT_EQ(p.shortcuts(), ShortcutMap::defaults());
    EXPECT_EQ(p.gifMaxWidth(), 640);
    EXPECT_EQ(onDisk()->value("shortcuts").toString(),
              R"({"area": null, "text": {"keyCode": 17}})");

    p.resetShortcuts();
    EXPECT_EQ(onDisk()->value("shortcuts").toByteArray(), ShortcutMap::defaults().toJson());
}

// One value per property that differs from its default.
struct Change {
    const char* property;
    QVariant value;
};

TEST_F(PreferencesTest, EveryPropertyWritesThroughSignalsOnceAndReadsBack) {
    CameraPositions positions;
    positions.insert("HDMI-1", QPointF(10.5, 0.1));
    positions.insert("eDP-1", QPointF(-3, 1e-7));
    const Change changes[] = {
        {"showQuickAccess", false},
        {"copyToClipboard", false},
        {"saveToDisk", true},
        {"openEditor", true},
        {"playSounds", false},
        {"imageFormat", QVariant::fromValue(ImageFormat::jpeg)},
        {"saveFolderBookmark", QVariant::fromValue(Preferences::OptionalBytes(
                                   QString::fromUtf8("/home/ü/Bilder, \"neu\"").toUtf8()))},
        {"windowShadow", false},
        {"showCursor", true},
        {"showMagnifier", false},
        {"showCrosshair", false},
        {"ocrKeepLineBreaks", false},
        {"captureTimer", qint64(5)},
        {"autoScrollImmediately", true},
        {"recordingFormat", QVariant::fromValue(Recording::Format::gif)},
        {"recordSystemAudio", true},
        {"recordMicrophone", true},
        {"recordShowCursor", false},
        {"recordWindowsAlone", false},
        {"recordHighlightClicks", true},
        {"recordShowKeystrokes", true},
        {"keystrokeMode", QVariant::fromValue(KeystrokeMode::allKeys)},
        {"keystrokePosition", QVariant::fromValue(KeystrokePosition::right)},
        {"recordingHiddenApps", QStringList{"org.mozilla.firefox", "a,b", "@odd"}},
        {"recordingHideNotifications", true},
        {"recordShowCamera", true},
        {"cameraDeviceID", QVariant::fromValue(Preferences::OptionalString("@/dev/video0, cam"))},
        {"cameraShape", QVariant::fromValue(CameraShape::roundedRectangle)},
        {"cameraSize", QVariant::fromValue(CameraSize::small)},
        {"cameraMirrored", false},
        {"cameraPositions", QVariant::fromValue(positions)},
        {"recordingFPS", qint64(60)},
        {"recordingQuality", QVariant::fromValue(RecordingQuality::standard)},
        {"recordingRetina", false},
        {"recordingCountdown", qint64(3)},
        {"gifFPS", qint64(24)},
        {"gifMaxWidth", qint64(640)},
        {"quickAccessCorner", QVariant::fromValue(ScreenCorner::bottomRight)},
        {"quickAccessAutoClose", true},
        {"quickAccessCloseAfter", qint64(30)},
        {"closeEditorAfterExport", true},
        {"keepAnnotationsEditable", false},
        {"editorShowsRecent", false},
        {"hasCompletedOnboarding", true},
        {"shortcuts", QVariant::fromValue(withEntry(CaptureAction::window, std::nullopt))},
    };
    // A row for every declared setting, in declaration order.
    QStringList rows;
    for (const Change& c : changes) {
        rows << c.property;
    }
    ASSERT_EQ(rows, declaredKeys());

    {
        Preferences p(path());
        for (const Change& c : changes) {
            const QMetaProperty property =
                p.metaObject()->property(p.metaObject()->indexOfProperty(c.property));
            ASSERT_TRUE(property.isValid()) << c.property;
            QSignalSpy spy(&p, property.notifySignal());
            ASSERT_NE(p.property(c.property), c.value) << c.property;
            ASSERT_TRUE(p.setProperty(c.property, c.value)) << c.property;
            ASSERT_TRUE(p.setProperty(c.property, c.value)) << c.property;
            EXPECT_EQ(spy.count(), 1) << c.property;
            EXPECT_EQ(p.property(c.property), c.value) << c.property;
            EXPECT_TRUE(onDisk()->contains(c.property)) << c.property;
        }
    }
    const auto disk = onDisk();
    const Preferences again(disk->fileName());
    for (const Change& c : changes) {
        EXPECT_EQ(again.property(c.property), c.value) << c.property;
    }
}

TEST_F(PreferencesTest, SameValueIsWrittenAgainWithoutASignal) {
    Preferences p(path());
    QSignalSpy playSounds(&p, &Preferences::playSoundsChanged);
    QSignalSpy shortcuts(&p, &Preferences::shortcutsChanged);

    p.setPlaySounds(true);
    EXPECT_EQ(playSounds.count(), 0);
    EXPECT_EQ(onDisk()->value("playSounds").toString(), "true");

    p.setPlaySounds(false);
    ASSERT_EQ(playSounds.count(), 1);
    EXPECT_EQ(playSounds.at(0).at(0).toBool(), false);
    EXPECT_EQ(onDisk()->value("playSounds").toString(), "false");

    p.resetShortcuts();
    EXPECT_EQ(shortcuts.count(), 0);
    EXPECT_EQ(onDisk()->value("shortcuts").toByteArray(), ShortcutMap::defaults().toJson());

    p.setShortcut(CaptureAction::area, KeyShortcut{21, 0x1A0000});
    EXPECT_EQ(shortcuts.count(), 0);
    p.setShortcut(CaptureAction::area, std::nullopt);
    EXPECT_EQ(shortcuts.count(), 1);
    p.resetShortcuts();
    EXPECT_EQ(shortcuts.count(), 2);
    EXPECT_EQ(p.shortcuts(), ShortcutMap::defaults());
}

TEST_F(PreferencesTest, AbsentOptionalsAndEmptyListsRemoveOrEmptyTheirKeys) {
    Preferences p(path());
    p.setSaveFolderBookmark(QByteArray("/tmp"));
    p.setCameraDeviceID(QStringLiteral("/dev/video0"));
    p.setRecordingHiddenApps({"org.a"});
    p.setCameraPosition("HDMI-1", QPointF(1, 2));
    p.setCameraPosition("DP-2", QPointF(3, 4));
    p.setCameraPosition("HDMI-1", std::nullopt);
    EXPECT_EQ(p.cameraPositions().keys(), QStringList{"DP-2"});

    p.setSaveFolderBookmark(std::nullopt);
    p.setCameraDeviceID(std::nullopt);
    p.setRecordingHiddenApps({});
    const auto disk = onDisk();
    EXPECT_FALSE(disk->contains("saveFolderBookmark"));
    EXPECT_FALSE(disk->contains("cameraDeviceID"));

    const Preferences again(disk->fileName());
    EXPECT_EQ(again.saveFolderBookmark(), std::nullopt);
    EXPECT_EQ(again.cameraDeviceID(), std::nullopt);
    EXPECT_TRUE(again.recordingHiddenApps().isEmpty());
    EXPECT_EQ(again.cameraPositions().value("DP-2"), QPointF(3, 4));
    EXPECT_EQ(again.cameraPositions().size(), 1);
}

TEST_F(PreferencesTest, OutOfRangeSetIsKeptUntilTheNextLoad) {
    Preferences p(path());
    p.setGifFPS(1);
    p.setCaptureTimer(7);
    EXPECT_EQ(p.gifFPS(), 1);
    EXPECT_EQ(onDisk()->value("gifFPS").toString(), "1");
    const Preferences again(onDisk()->fileName());
    EXPECT_EQ(again.gifFPS(), 5);
    EXPECT_EQ(again.captureTimer(), 0);
}

// The same stored maps in the form this build writes (a map, written here
// by QSettings itself) and in the JSON string of earlier builds: one rule for
// both.
TEST_F(PreferencesTest, CameraPositionsLoadOnlyFromWellFormedMapsInEitherForm) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* json;
        QVariantMap map;
        QStringList keys;
    };
    const Case cases[] = {
        {R"({"a": [1, 2], "b": "3, 4"})",
         {{"a", QVariantList{1, 2}}, {"b", QStringLiteral("3, 4")}},
         {}},
        {R"({"a": [1, 2, 3], "b": [4, 5]})",
         {{"a", QVariantList{1, 2, 3}}, {"b", QVariantList{4.0, 5.0}}},
         {"b"}},
        {R"({"a": [1], "b": [4, 5], "c": []})",
         {{"a", QVariantList{1}}, {"b", QVariantList{4, 5}}, {"c", QVariantList{}}},
         {"b"}},
        {R"({"a": [1, "2"], "b": [4, 5]})",
         {{"a", QVariantList{1, QStringLiteral("2")}}, {"b", QVariantList{4, 5}}},
         {}},
        {R"({"a": [1, true], "b": [4, 5]})",
         {{"a", QVariantList{1, true}}, {"b", QVariantList{4, 5}}},
         {}},
        // Absurd but finite numbers stay: the bubble keeps itself on its
        // display wherever they point.
        {R"({"a": [1e300, -1e300], "b": [0.5, 0.5]})",
         {{"a", QVariantList{1e300, -1e300}}, {"b", QVariantList{0.5, 0.5}}},
         {"a", "b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        EXPECT_EQ(cameraPositionsFromJson(c.json).keys(), c.keys);
        EXPECT_EQ(cameraPositionsFromMap(c.map).keys(), c.keys);

        const QString jsonFile = dir_.file(QStringLiteral("json-%1.conf").arg(++copies_));
        QSettings(jsonFile, QSettings::IniFormat).setValue("cameraPositions", c.json);
        EXPECT_EQ(Preferences(jsonFile).cameraPositions().keys(), c.keys);

        const QString mapFile = dir_.file(QStringLiteral("map-%1.conf").arg(++copies_));
        QSettings(mapFile, QSettings::IniFormat).setValue("cameraPositions", c.map);
        EXPECT_EQ(Preferences(mapFile).cameraPositions().keys(), c.keys);
    }
    EXPECT_EQ(cameraPositionsFromJson(R"({"b": [4.25, -5]})").value("b"), QPointF(4.25, -5));

    // Only the map form can hold numbers that are no place at all.
    EXPECT_EQ(cameraPositionsFromMap({{"a", QVariantList{inf, 0.5}},
                                      {"b", QVariantList{0.5, std::nan("")}},
                                      {"c", QVariantList{0.25, 0.75}}}),
              (CameraPositions{{"c", QPointF(0.25, 0.75)}}));

    // What is no map, no JSON object or no readable value at all, written by
    // QSettings, and two values it cannot read back whole.
    const QVariant unreadable[] = {
        QStringLiteral("[[1, 2]]"),
        QStringLiteral("not json"),
        QStringList{"a", "b"},
        true,
        QVariantHash{{"a", QVariantList{0.5, 0.5}}},
        QVariantList{QVariantList{0.5, 0.5}},
    };
    const QString written = dir_.file(QStringLiteral("written.conf"));
    QSettings(written, QSettings::IniFormat)
        .setValue("cameraPositions",
                  QVariantMap{{"a", QVariantList{0.5, 0.5}}, {"b", QVariantList{0.25, 0.25}}});
    QByteArray map =
        *settingsFile::rawValue(testsupport::readAll(written), QStringLiteral("cameraPositions"));
    const QByteArray quote = map.startsWith('"') ? "\"" : "";
    map = map.mid(quote.size(), map.size() - 2 * quote.size());
    const QByteArray lines[] = {
        "cameraPositions=@Variant(garbage)",
        // The map cut short in its second entry.
        "cameraPositions=" + quote + map.left(map.size() - 12) + ")" + quote,
    };
    QList<QByteArray> files;
    for (const QVariant& value : unreadable) {
        const QString file = dir_.file(QStringLiteral("odd-%1.conf").arg(++copies_));
        QSettings(file, QSettings::IniFormat).setValue("cameraPositions", value);
        files.append(testsupport::readAll(file));
    }
    for (const QByteArray& line : lines) {
        files.append("[General]\n" + line + '\n');
    }
    for (const QByteArray& bytes : files) {
        SCOPED_TRACE(bytes.toStdString());
        const QString file = dir_.file(QStringLiteral("bad-%1.conf").arg(++copies_));
        testsupport::writeAll(
            file, QByteArray(bytes).replace("[General]\n", "[General]\ncameraSize=large\n") +
                      "gifFPS=24\n");
        const Preferences p(file);
        EXPECT_TRUE(p.cameraPositions().isEmpty());
        EXPECT_EQ(p.cameraSize(), CameraSize::large);
        EXPECT_EQ(p.gifFPS(), 24);
    }
}

// A file of an earlier build keeps its JSON string while nobody moves the
// bubble; the first saved position writes the map form in its place, and every
// other line of the file stays as it was.
TEST_F(PreferencesTest, SavedCameraPositionReplacesTheJsonFormWithTheMap) {
    const QByteArray json = R"(cameraPositions="{\"HDMI-1\":[0.25,0.75],\"odd\":[1,2,3]}")";
    const QByteArray head = "[General]\ncameraMirrored=false\n";
    const QByteArray tail = "gifFPS=0\nunknownKey=keep me\n\n[Other]\ncameraPositions=42\n";
    seed(head + json + '\n' + tail);
    {
        Preferences p(path());
        EXPECT_EQ(p.cameraPositions(), (CameraPositions{{"HDMI-1", QPointF(0.25, 0.75)}}));
        // The same map again is no change.
        p.setCameraPositions(p.cameraPositions());
        EXPECT_EQ(testsupport::readAll(path()),
                  head + R"(cameraPositions="{\"HDMI-1\":[0.25,0.75]}")" + '\n' + tail);

        p.setCameraPosition("7", QPointF(1, 0));
    }
    const CameraPositions expected{{"HDMI-1", QPointF(0.25, 0.75)}, {"7", QPointF(1, 0)}};
    const QByteArray file = testsupport::readAll(path());
    EXPECT_TRUE(file.startsWith(head + "cameraPositions=@Variant(")) << file.constData();
    EXPECT_TRUE(file.endsWith(")\n" + tail)) << file.constData();

    // Other readers of the file get a map, as QSettings keeps one.
    const auto disk = onDisk();
    const QVariant stored = disk->value("cameraPositions");
    ASSERT_EQ(stored.typeId(), QMetaType::QVariantMap);
    EXPECT_EQ(stored.toMap(),
              (QVariantMap{{"HDMI-1", QVariantList{0.25, 0.75}}, {"7", QVariantList{1.0, 0.0}}}));

    // From then on the map form stays, also when the JSON's value comes back,
    // and reads back exactly.
    {
        Preferences p(disk->fileName());
        EXPECT_EQ(p.cameraPositions(), expected);
        p.setCameraPosition("7", std::nullopt);
        p.setCameraPosition("eDP-1", QPointF(1.0 / 3, 1e-9));
        p.setCameraPosition("eDP-1", std::nullopt);
    }
    EXPECT_EQ(onDisk()->value("cameraPositions").typeId(), QMetaType::QVariantMap);
    const Preferences again(disk->fileName());
    EXPECT_EQ(again.cameraPositions(), (CameraPositions{{"HDMI-1", QPointF(0.25, 0.75)}}));
    EXPECT_FALSE(again.cameraMirrored());
    EXPECT_EQ(onDisk()->value("unknownKey").toString(), "keep me");
    EXPECT_EQ(onDisk()->value("Other/cameraPositions").toString(), "42");
}

// Files written by an earlier build of the store: one with every key away
// from its default (bookmark bytes that are not UTF-8, lists and names that
// need INI quoting, positions, a changed shortcut map), one with the edge forms
// (one-element list, empty string and bytes, empty map, every shortcut off,
// the largest integer).
TEST_F(PreferencesTest, FilesOfEarlierBuildsLoadAndAreWrittenBackByteForByte) {
    const QString fixtures = QStringLiteral(VEXLIN_APP_FIXTURES "/");
    for (const char* name : {"preferences-every-key.conf", "preferences-edge-forms.conf"}) {
        const QByteArray original = testsupport::readAll(fixtures + name);
        ASSERT_FALSE(original.isEmpty()) << name;
        const QString loaded = dir_.file(QStringLiteral("loaded-%1").arg(name));
        const QString fresh = dir_.file(QStringLiteral("fresh-%1").arg(name));
        testsupport::writeAll(loaded, original);

        // The keys the file holds: a setting added later is not in it and
        // must not be written here.
        const QStringList keys = QSettings(fixtures + name, QSettings::IniFormat).childKeys();
        ASSERT_EQ(keys.size(), 45) << name;

        Preferences p(loaded);
        Preferences empty(fresh);
        for (const QString& key : keys) {
            const QByteArray property = key.toLatin1();
            const QVariant value = p.property(property);
            ASSERT_TRUE(value.isValid()) << property.constData();
            ASSERT_TRUE(p.setProperty(property, value)) << property.constData();
            ASSERT_TRUE(empty.setProperty(property, value)) << property.constData();
        }
        // Written back over itself it gives the bytes the earlier build
        // wrote, but for a number beyond its range, which loads as the end of
        // the range (the largest integer as the longest countdown). Written
        // from nothing, too, but for the camera positions, which this build
        // keeps as a map.
        const QByteArray repaired = QByteArray(original).replace(
            "recordingCountdown=9223372036854775807", "recordingCountdown=99");
        EXPECT_EQ(testsupport::readAll(loaded), repaired) << name;
        const std::optional<QByteArray> json =
            settingsFile::rawValue(original, QStringLiteral("cameraPositions"));
        ASSERT_TRUE(json) << name;
        const QByteArray map =
            settingsFile::encodedValue(cameraPositionsToMap(p.cameraPositions()));
        EXPECT_EQ(
            testsupport::readAll(fresh),
            QByteArray(repaired).replace("cameraPositions=" + *json, "cameraPositions=" + map))
            << name;
    }
}

TEST_F(PreferencesTest, SharedStoreLivesInTheUserConfigFolder) {
    const QString expected =
        qEnvironmentVariable("XDG_CONFIG_HOME", QDir::homePath() + "/.config") +
        "/Vexlin/VexlinCapture.conf";
    EXPECT_EQ(settingsFilePath(), expected);
    EXPECT_EQ(&Preferences::shared(), &Preferences::shared());
    EXPECT_EQ(Preferences::shared().filePath(), expected);
}

} // namespace

namespace {

// Answers alerts and records them.
class AlertLog : public FilePanels {
public:
    std::vector<FileError> alerts;
    void runSavePanel(const SaveRequest&, QWidget*, SaveDone done) override { done(std::nullopt); }
    std::optional<QString> chooseFolder(const std::optional<QString>&) override {
        return std::nullopt;
    }
    std::optional<QString> chooseImageToAnnotate() override { return std::nullopt; }
    void showError(QWidget*, const FileError& error) override { alerts.push_back(error); }
};

// The form QSettings gives a value, read from the file it writes.
QByteArray qsettingsForm(const QString& file, const QVariant& value) {
    QFile::remove(file);
    {
        QSettings settings(file, QSettings::IniFormat);
        settings.setValue("key", value);
    }
    const QByteArray text = testsupport::readAll(file);
    const qsizetype start = text.indexOf("key=") + 4;
    return text.mid(start, text.indexOf('\n', start) - start);
}

} // namespace

// The settings file is written by the store and read by QSettings (here and
// in other parts of the program), so every value takes QSettings' own form.
TEST_F(PreferencesTest, ValuesAreWrittenInTheFormQSettingsReadsBack) {
    const QVariant values[] = {
        true,
        qlonglong(-9223372036854775807LL),
        QString(),
        QString("plain"),
        QString(" blank at the ends "),
        QString("a;b,c=d \"q\" back\\slash"),
        QString("@at, @@twice"),
        QString::fromUtf8("ü é 漢字 📷 \x7f\xc2\x80"),
        QString::fromUtf8("ctl\x01"
                          "1\x01g\ttab\nline\r\a\b\f\v"),
        QString(QChar(0)) + "0" + QString(QChar(0)) + "z",
        QStringList(),
        QStringList{"one"},
        QStringList{"a, b", "@c", "", " d"},
        QByteArray(),
        QByteArray("/home/caf\xe9/x\x01"
                   "a\x00"
                   "9\x7f\xff;",
                   16),
        QByteArray("{\"area\":null}"),
        QVariantMap(),
        QVariantMap{{"HDMI-1", QVariantList{10.5, 0.1}},
                    {QString::fromUtf8("ü \"q\";=, 📷"), QVariantList{-3.0, 1e-7}},
                    {"9", QVariantList{0.0, 1.0}}},
    };
    const QString file = dir_.file("qsettings.conf");
    for (const QVariant& value : values) {
        SCOPED_TRACE(value.toString().toStdString());
        EXPECT_EQ(qsettingsForm(file, value), settingsFile::encodedValue(value));
        // And it reads back as the value.
        const QString mine = dir_.file("mine.conf");
        QFile::remove(mine);
        ASSERT_FALSE(settingsFile::writeValue(mine, "key", value));
        const QVariant read = QSettings(mine, QSettings::IniFormat).value("key");
        if (value.typeId() == QMetaType::QStringList) {
            EXPECT_EQ(value.toStringList(), read.toStringList());
        } else if (value.typeId() == QMetaType::QVariantMap) {
            EXPECT_EQ(value.toMap(), read.toMap());
        } else if (value.typeId() == QMetaType::QByteArray) {
            EXPECT_EQ(value.toByteArray(), read.toByteArray());
        } else {
            EXPECT_EQ(value.toString(), read.toString());
        }
    }
}

// A change rewrites the one entry of its key; comments, spacing, line ends,
// other sections and keys the store does not know stay byte for byte.
TEST_F(PreferencesTest, AChangeLeavesEveryOtherByteOfTheFile) {
    const QByteArray file = "; written by hand\r\n"
                            "zeta = 1\r\n"
                            "[General]\r\n"
                            "playSounds = true ; keep this comment\r\n"
                            "  captureTimer=3\r\n"
                            "odd line without equals\r\n"
                            "list=\"a,\r\nb\"\r\n"
                            "gifFPS=9\r\n"
                            "\r\n"
                            "[Other]\r\n"
                            "playSounds=other section\r\n"
                            "[general]\r\n"
                            "gifFPS=10\r\n";
    struct Case {
        const char* key;
        QVariant value;
        QByteArray expected;
    };
    const Case cases[] = {
        {"playSounds", false,
         QByteArray(file).replace("playSounds = true ;", "playSounds = false ;")},
        // The last entry is the one that is read, so the one that changes.
        {"gifFPS", qlonglong(20), QByteArray(file).replace("gifFPS=10", "gifFPS=20")},
        {"captureTimer", QVariant(), QByteArray(file).replace("  captureTimer=3\r\n", "")},
        {"gifFPS", QVariant(),
         QByteArray(file).replace("gifFPS=9\r\n", "").replace("gifFPS=10\r\n", "")},
        // A new key goes among the section's keys in sorted order.
        // A new key goes among the section's keys in sorted order, here
        // before the first one, which comes before any header.
        {"cameraSize", "large", QByteArray(file).replace("zeta = 1", "cameraSize=large\nzeta = 1")},
        {"zzz", "x", QByteArray(file).replace("gifFPS=10\r\n", "gifFPS=10\r\nzzz=x\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(c.expected, settingsFile::withValue(file, c.key, c.value));
    }
    // A file without a General section gets one first; an empty file only it.
    EXPECT_EQ("[General]\nplaySounds=false\n\n[Other]\na=1\n",
              settingsFile::withValue("[Other]\na=1\n", "playSounds", false));
    EXPECT_EQ("[General]\nplaySounds=false\n", settingsFile::withValue("", "playSounds", false));
    // The last line may lack its line break.
    EXPECT_EQ("[General]\na=1\nb=2\n", settingsFile::withValue("[General]\na=1", "b", 2));

    // Through the store: what QSettings reads from the edited file.
    seed(file);
    Preferences p(path());
    EXPECT_EQ(p.gifFPS(), 10);
    EXPECT_TRUE(p.playSounds());
    p.setGifFPS(60);
    p.setPlaySounds(false);
    EXPECT_EQ(testsupport::readAll(path()),
              QByteArray(file)
                  .replace("gifFPS=10", "gifFPS=60")
                  .replace("playSounds = true ;", "playSounds = false ;"));
    const Preferences again(path());
    EXPECT_EQ(again.gifFPS(), 60);
    EXPECT_FALSE(again.playSounds());
    EXPECT_EQ(again.captureTimer(), 3);
}

// Found by fuzzing: a new key after an entry whose quote never closes was
// read as part of that entry, so the change was lost on reading.
TEST_F(PreferencesTest, ANewKeyAfterAnUnclosedQuoteIsStillRead) {
    for (const QByteArray& file :
         {QByteArray("[General]\nlist=\"a,\nb\n"), QByteArray("[General]\r\nz=\"never closed")}) {
        SCOPED_TRACE(file.constData());
        seed(settingsFile::withValue(file, "gifFPS", qlonglong(12)));
        const Preferences again(path());
        EXPECT_EQ(again.gifFPS(), 12);
        EXPECT_EQ(testsupport::readAll(path()).replace("gifFPS=12\n", ""), file)
            << "the rest is kept as it was";
    }
}

// Found by fuzzing: an entry that the reader places in another section than
// the writer thinks is not where a change can go; the change goes first in
// the file instead, and the rest stays.
TEST_F(PreferencesTest, AChangeTheReaderWouldNotSeeGoesFirst) {
    // The reader takes a header after a form feed for a plain line, so the
    // entry below it belongs to [Other] there.
    const QByteArray file = "[Other]\na=1\n\f[General]\nwindowShadow=true\n";
    seed(file);
    Preferences p(path());
    p.setWindowShadow(!p.windowShadow());
    const bool written = p.windowShadow();
    const QByteArray after = testsupport::readAll(path());
    ASSERT_TRUE(QFile::copy(path(), path() + ".copy"));
    EXPECT_EQ(Preferences(path() + ".copy").windowShadow(), written);
    EXPECT_EQ(after, QByteArray("windowShadow=") + (written ? "true" : "false") + "\n" +
                         QByteArray(file).replace("windowShadow=true\n", ""));
    QFile::remove(path() + ".copy");
}

// A read-only settings folder: the change is in effect for the session, and
// the user hears once, with the file and the reason, not on every change.
TEST_F(PreferencesTest, AFailedWriteIsSaidOnceAndTheValueStaysInEffect) {
    auto mount = testsupport::ScratchMount::make(dir_.file("config"), 64);
    const QString folder = mount ? mount->path() : dir_.file("config");
    QDir().mkpath(folder);
    const QString file = folder + "/VexlinCapture.conf";
    testsupport::writeAll(file, "[General]\nplaySounds=true\n");
    if (mount) {
        ASSERT_TRUE(mount->makeReadOnly());
    } else if (::geteuid() != 0) {
        ASSERT_EQ(0, ::chmod(QFile::encodeName(folder).constData(), 0555));
    } else {
        GTEST_SKIP() << "root writes into any folder unless it can mount a read-only one";
    }
    AlertLog panels;
    const ScopedFilePanels usePanels(panels);
    {
        Preferences p(file);
        QSignalSpy changed(&p, &Preferences::playSoundsChanged);
        p.setPlaySounds(false);
        EXPECT_FALSE(p.playSounds());
        EXPECT_EQ(changed.count(), 1);
        QCoreApplication::processEvents();
        ASSERT_EQ(panels.alerts.size(), 1u);
        EXPECT_EQ(panels.alerts[0].code(), FileError::Code::settingsNotSaved);
        const QString text = panels.alerts[0].description();
        EXPECT_TRUE(text.contains(file)) << text.toStdString();
        EXPECT_TRUE(text.contains("Read-only file system") || text.contains("Permission denied"))
            << text.toStdString();

        p.setCaptureTimer(5);
        QCoreApplication::processEvents();
        EXPECT_EQ(panels.alerts.size(), 1u);
        EXPECT_EQ(p.captureTimer(), 5);
    }
    EXPECT_EQ(testsupport::readAll(file), "[General]\nplaySounds=true\n");
    ::chmod(QFile::encodeName(folder).constData(), 0755);
}
