// The screenshot flow behind the coordinator and the delivery of its
// pictures, with fakes for the screen, the overlay and the outputs; the save
// step also against real folders.
#include "capture/ScreenshotFlow.h"
#include "capture/CaptureCoordinator.h"
#include "capture/ScreenshotDelivery.h"

#include "app/FilePanels.h"
#include "app/Preferences.h"
#include "app/SaveLocation.h"

#include "support/CoordinatorFixture.h"
#include "support/ScratchMount.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

using app::CaptureAction;
using capture::CaptureCoordinator;
using capture::CaptureFailure;
using capture::DeliverySettings;
using capture::ScreenshotDelivery;
using capture::ScreenshotFlow;
using capture::SelectionOutcome;
using capture::SelectionPicture;
using desktop::CaptureError;
using namespace std::chrono_literals;

namespace {

const QDateTime captureDate(QDate(2026, 12, 8), QTime(14, 5, 9));

QImage picture(QSize size, QRgb colour = qRgb(30, 60, 90)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// What each output was asked to do, in order.
struct Outputs {
    std::vector<std::string> log;
    std::vector<app::Capture> shown; // given to the editor or Quick Access
    std::vector<CaptureFailure> failures;
    bool encodes = true;
    std::optional<app::FileError> saveError;

    ScreenshotDelivery::Services services(const DeliverySettings& settings) {
        ScreenshotDelivery::Services s;
        s.settings = [settings] { return settings; };
        s.playSound = [this] { log.push_back("sound"); };
        s.copyToClipboard = [this](const QImage& image, double scale,
                                   const std::optional<QByteArray>& png) {
            log.push_back("copy " + std::to_string(image.width()) + "x" +
                          std::to_string(image.height()) + " @" + std::to_string(int(scale)) +
                          (png ? " with " + png->toStdString() : std::string()));
        };
        s.encode = [this](const QImage&, app::ImageFormat format,
                          double) -> std::optional<QByteArray> {
            log.push_back(format == app::ImageFormat::png ? "encode png" : "encode jpeg");
            return encodes ? std::optional<QByteArray>("bytes") : std::nullopt;
        };
        s.save = [this](const QByteArray&, const QDateTime& date,
                        app::ImageFormat) -> app::Result<QString> {
            log.push_back("save");
            if (saveError) {
                return *saveError;
            }
            return QStringLiteral("/shots/") + date.toString(Qt::ISODate);
        };
        s.openEditor = [this](const app::Capture& capture) {
            log.push_back("editor");
            shown.push_back(capture);
        };
        s.showQuickAccess = [this](const app::Capture& capture) {
            log.push_back("quick access");
            shown.push_back(capture);
        };
        return s;
    }
    ScreenshotDelivery::FailureAlert alert() {
        return [this](const CaptureFailure& failure) {
            log.push_back(failure.isUserCancellation ? "cancelled" : "alert");
            failures.push_back(failure);
        };
    }
};

app::Capture sampleCapture(double scale = 2) {
    app::Capture capture;
    capture.id = QUuid::createUuid();
    capture.image = picture({40, 20});
    capture.scale = scale;
    capture.date = captureDate;
    return capture;
}

using Log = std::vector<std::string>;

struct OrderCase {
    const char* name;
    DeliverySettings settings;
    CaptureCoordinator::Delivery mode;
    Log expected;
};

DeliverySettings with(std::function<void(DeliverySettings&)> change) {
    DeliverySettings settings; // the registered defaults
    change(settings);
    return settings;
}

TEST(ScreenshotDeliveryTest, RunsItsStepsInOrderAsTheSettingsSay) {
    using D = CaptureCoordinator::Delivery;
    const auto all = [](DeliverySettings& s) {
        s.playSounds = s.copyToClipboard = s.saveToDisk = s.openEditor = s.showQuickAccess = true;
    };
    const OrderCase cases[] = {
        {"defaults", DeliverySettings(), D::standard, {"sound", "copy 40x20 @2", "quick access"}},
        {"copy only stops after copying", with(all), D::copyOnly, {"sound", "copy 40x20 @2"}},
        {"copy only without sound",
         with([&](DeliverySettings& s) {
             all(s);
             s.playSounds = false;
         }),
         D::copyOnly,
         {"copy 40x20 @2"}},
        {"copy only copies even with the clipboard off",
         with([](DeliverySettings& s) { s.copyToClipboard = false; }),
         D::copyOnly,
         {"sound", "copy 40x20 @2"}},
        {"the editor ends the delivery",
         with(all),
         D::standard,
         {"sound", "encode png", "copy 40x20 @2 with bytes", "save", "editor"}},
        {"a JPEG file shares nothing with the clipboard",
         with([](DeliverySettings& s) {
             s.saveToDisk = true;
             s.imageFormat = app::ImageFormat::jpeg;
         }),
         D::standard,
         {"sound", "copy 40x20 @2", "encode jpeg", "save", "quick access"}},
        {"jpeg is saved as jpeg",
         with([](DeliverySettings& s) {
             s.saveToDisk = true;
             s.copyToClipboard = false;
             s.imageFormat = app::ImageFormat::jpeg;
         }),
         D::standard,
         {"sound", "encode jpeg", "save", "quick access"}},
        {"everything off still sounds",
         with([](DeliverySettings& s) {
             s.copyToClipboard = s.saveToDisk = s.openEditor = s.showQuickAccess = false;
         }),
         D::standard,
         {"sound"}},
        {"all silent",
         with([](DeliverySettings& s) {
             s.playSounds = s.copyToClipboard = s.saveToDisk = s.openEditor = s.showQuickAccess =
                 false;
         }),
         D::standard,
         {}},
    };
    for (const OrderCase& c : cases) {
        Outputs outputs;
        ScreenshotDelivery(outputs.services(c.settings))
            .deliver(sampleCapture(), c.mode, outputs.alert());
        EXPECT_EQ(outputs.log, c.expected) << c.name;
        EXPECT_TRUE(outputs.failures.empty()) << c.name;
    }
}

TEST(ScreenshotDeliveryTest, TheEditorAndTheCardKnowTheSavedFile) {
    for (bool editor : {true, false}) {
        Outputs outputs;
        const DeliverySettings settings = with([editor](DeliverySettings& s) {
            s.saveToDisk = true;
            s.openEditor = editor;
        });
        ScreenshotDelivery(outputs.services(settings))
            .deliver(sampleCapture(), CaptureCoordinator::Delivery::standard, outputs.alert());
        ASSERT_EQ(outputs.shown.size(), 1u);
        EXPECT_EQ(outputs.shown[0].filePath,
                  QStringLiteral("/shots/") + captureDate.toString(Qt::ISODate));
        EXPECT_EQ(outputs.shown[0].scale, 2);
        EXPECT_EQ(outputs.shown[0].date, captureDate);
    }
}

// A save that fails is told (a cancelled folder choice is not) and the
// picture still reaches the editor or the card, without a file.
TEST(ScreenshotDeliveryTest, ASaveFailureIsToldAndDeliveryGoesOn) {
    struct Case {
        const char* name;
        bool encodes;
        std::optional<app::FileError> saveError;
        Log expected;
        bool copies = false;
    };
    const Case cases[] = {
        {"encoding fails", false, std::nullopt, {"sound", "encode png", "alert", "quick access"}},
        {"encoding fails, the clipboard makes its own",
         false,
         std::nullopt,
         {"sound", "encode png", "copy 40x20 @2", "alert", "quick access"},
         true},
        {"folder choice cancelled",
         true,
         app::FileError::userCancelled(),
         {"sound", "encode png", "save", "cancelled", "quick access"}},
        {"disk full",
         true,
         app::FileError::writeFailed("/shots/x.png",
                                     std::make_error_code(std::errc::no_space_on_device)),
         {"sound", "encode png", "save", "alert", "quick access"}},
    };
    for (const Case& c : cases) {
        Outputs outputs;
        outputs.encodes = c.encodes;
        outputs.saveError = c.saveError;
        const DeliverySettings settings = with([&c](DeliverySettings& s) {
            s.copyToClipboard = c.copies;
            s.saveToDisk = true;
        });
        ScreenshotDelivery(outputs.services(settings))
            .deliver(sampleCapture(), CaptureCoordinator::Delivery::standard, outputs.alert());
        EXPECT_EQ(outputs.log, c.expected) << c.name;
        ASSERT_EQ(outputs.shown.size(), 1u) << c.name;
        EXPECT_FALSE(outputs.shown[0].filePath) << c.name;
        ASSERT_EQ(outputs.failures.size(), 1u) << c.name;
        EXPECT_FALSE(outputs.failures[0].description.isEmpty()) << c.name;
    }
}

// The alert of an unsaved picture names the folder and, where the bytes
// exist, lets the user choose another: the same bytes are saved there, and a
// second failure is told again the same way.
TEST(ScreenshotDeliveryTest, AnUnsavedPictureCanBeSavedInAnotherFolder) {
    struct Case {
        const char* name;
        bool chooses;
        bool secondSaveFails;
        Log afterChoice;
        size_t failures;
    };
    const Case cases[] = {
        {"chosen, saved", true, false, {"choose", "save"}, 1},
        {"the chooser cancelled", false, false, {"choose"}, 1},
        {"chosen, fails again", true, true, {"choose", "save", "alert"}, 2},
    };
    for (const Case& c : cases) {
        Outputs outputs;
        outputs.saveError = app::FileError::writeFailed(
            "/shots/x.png", std::make_error_code(std::errc::permission_denied));
        ScreenshotDelivery::Services services =
            outputs.services(with([](DeliverySettings& s) { s.saveToDisk = true; }));
        QByteArray savedBytes;
        const auto save = services.save;
        services.save = [&, save](const QByteArray& bytes, const QDateTime& date,
                                  app::ImageFormat format) {
            savedBytes = bytes;
            return save(bytes, date, format);
        };
        services.saveFolder = [] { return std::optional<QString>("/shots"); };
        services.chooseFolder = [&] {
            outputs.log.push_back("choose");
            if (!c.secondSaveFails) {
                outputs.saveError.reset();
            }
            return c.chooses;
        };
        ScreenshotDelivery(services).deliver(
            sampleCapture(), CaptureCoordinator::Delivery::standard, outputs.alert());
        ASSERT_EQ(outputs.failures.size(), 1u) << c.name;
        const CaptureFailure first = outputs.failures[0];
        ASSERT_TRUE(first.unsaved) << c.name;
        EXPECT_EQ(first.unsaved->folder, "/shots") << c.name;
        EXPECT_TRUE(first.unsaved->copied) << c.name;
        ASSERT_TRUE(first.unsaved->chooseAnotherFolder) << c.name;

        outputs.log.clear();
        savedBytes.clear();
        first.unsaved->chooseAnotherFolder();
        EXPECT_EQ(outputs.log, c.afterChoice) << c.name;
        EXPECT_EQ(savedBytes, c.chooses ? QByteArray("bytes") : QByteArray()) << c.name;
        ASSERT_EQ(outputs.failures.size(), c.failures) << c.name;
        if (c.failures > 1) {
            EXPECT_TRUE(outputs.failures.back().unsaved->chooseAnotherFolder) << c.name;
        }
    }
    // Without bytes another folder would not help.
    Outputs outputs;
    outputs.encodes = false;
    ScreenshotDelivery(outputs.services(with([](DeliverySettings& s) {
        s.saveToDisk = true;
    }))).deliver(sampleCapture(), CaptureCoordinator::Delivery::standard, outputs.alert());
    ASSERT_EQ(outputs.failures.size(), 1u);
    ASSERT_TRUE(outputs.failures[0].unsaved);
    EXPECT_FALSE(outputs.failures[0].unsaved->chooseAnotherFolder);
}

// ---- the save step against real folders ----

class ScriptedFolderPanels : public app::FilePanels {
public:
    std::deque<std::optional<QString>> answers;
    int asked = 0;

    void runSavePanel(const SaveRequest&, QWidget*, SaveDone done) override { done(std::nullopt); }
    std::optional<QString> chooseFolder(const std::optional<QString>&) override {
        ++asked;
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<QString> chooseImageToAnnotate() override { return std::nullopt; }
    void showError(QWidget*, const app::FileError&) override {}
};

class SaveToFolderTest : public ::testing::Test {
protected:
    SaveToFolderTest()
        : preferences_(dir_.file("config/VexlinCapture.conf"))
        , services_({&preferences_, [](const QString&) { return true; }})
        , usePanels_(panels_) {}

    // A standard delivery with saving on and the real encoder and save folder.
    void deliver(app::ImageFormat format = app::ImageFormat::png,
                 QImage image = picture({64, 48})) {
        DeliverySettings settings;
        settings.copyToClipboard = false;
        settings.saveToDisk = true;
        settings.imageFormat = format;
        ScreenshotDelivery::Services services = outputs_.services(settings);
        const ScreenshotDelivery::Services real = ScreenshotDelivery::defaultServices();
        services.encode = real.encode;
        services.save = real.save;
        app::Capture capture = sampleCapture(1);
        capture.image = std::move(image);
        ScreenshotDelivery(services).deliver(capture, CaptureCoordinator::Delivery::standard,
                                             outputs_.alert());
    }
    QStringList filesIn(const QString& folder) const {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

    testsupport::TempDir dir_;
    app::Preferences preferences_;
    app::SaveLocation::ScopedServices services_;
    ScriptedFolderPanels panels_;
    app::ScopedFilePanels usePanels_;
    Outputs outputs_;
};

TEST_F(SaveToFolderTest, WithoutAFolderItAsksOnceAndRemembersTheChoice) {
    const QString folder = dir_.file("Screenshots");
    panels_.answers = {folder};
    deliver();
    EXPECT_EQ(panels_.asked, 1);
    EXPECT_EQ(filesIn(folder), QStringList{"Vexlin Capture 2026-12-08 at 14.05.09.png"});
    ASSERT_EQ(outputs_.shown.size(), 1u);
    EXPECT_EQ(outputs_.shown[0].filePath, folder + "/Vexlin Capture 2026-12-08 at 14.05.09.png");

    // The second capture of the same second goes into the same folder unasked.
    deliver(app::ImageFormat::jpeg);
    EXPECT_EQ(panels_.asked, 1);
    EXPECT_EQ(filesIn(folder), (QStringList{"Vexlin Capture 2026-12-08 at 14.05.09.jpg",
                                            "Vexlin Capture 2026-12-08 at 14.05.09.png"}));
    EXPECT_TRUE(outputs_.failures.empty());
}

TEST_F(SaveToFolderTest, CancellingTheFolderChoiceSavesNothingAndSaysNothing) {
    deliver();
    EXPECT_EQ(panels_.asked, 1);
    ASSERT_EQ(outputs_.failures.size(), 1u);
    EXPECT_TRUE(outputs_.failures[0].isUserCancellation);
    EXPECT_FALSE(preferences_.saveFolderBookmark());
    ASSERT_EQ(outputs_.shown.size(), 1u);
    EXPECT_FALSE(outputs_.shown[0].filePath);
}

TEST_F(SaveToFolderTest, AVanishedFolderIsMadeAgain) {
    const QString folder = dir_.file("gone/deeper/Screenshots");
    ASSERT_TRUE(app::SaveLocation::remember(folder));
    deliver();
    EXPECT_EQ(panels_.asked, 0);
    EXPECT_EQ(filesIn(folder).size(), 1);
    EXPECT_TRUE(outputs_.failures.empty());
}

TEST_F(SaveToFolderTest, AFolderThatCannotBeMadeIsTold) {
    testsupport::writeAll(dir_.file("plain-file"), "not a folder");
    ASSERT_TRUE(app::SaveLocation::remember(dir_.file("plain-file/Screenshots")));
    deliver();
    ASSERT_EQ(outputs_.failures.size(), 1u);
    EXPECT_FALSE(outputs_.failures[0].isUserCancellation);
    EXPECT_FALSE(outputs_.failures[0].description.isEmpty());
    ASSERT_EQ(outputs_.shown.size(), 1u);
    EXPECT_FALSE(outputs_.shown[0].filePath);
}

TEST_F(SaveToFolderTest, AFullDiskLeavesNoFileBehind) {
    auto mount = testsupport::ScratchMount::make(dir_.file("disk"), 64);
    if (!mount) {
        GTEST_SKIP() << "needs root to mount a small disk";
    }
    testsupport::writeAll(mount->path() + "/filler", QByteArray(40 * 1024, 'f'));
    ASSERT_TRUE(app::SaveLocation::remember(mount->path()));
    QImage noise(300, 300, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y) {
        for (int x = 0; x < noise.width(); ++x) {
            noise.setPixel(x, y, qRgb((x * 7919 + y * 104729) % 256, (x * y) % 256, (x ^ y) % 256));
        }
    }
    deliver(app::ImageFormat::png, noise);
    ASSERT_EQ(outputs_.failures.size(), 1u);
    EXPECT_TRUE(outputs_.failures[0].description.contains("enough space"))
        << outputs_.failures[0].description.toStdString();
    EXPECT_EQ(filesIn(mount->path()), QStringList{"filler"});
    ASSERT_EQ(outputs_.shown.size(), 1u);
    EXPECT_FALSE(outputs_.shown[0].filePath);
}

// ---- the flow behind the coordinator ----

class ScreenshotFlowTest : public testsupport::CoordinatorFixture {
protected:
    void SetUp() override { build(); }

    void build() {
        ScreenshotFlow::Services services;
        services.shootDisplayUnderPointer =
            [this]() -> std::variant<SelectionPicture, desktop::CaptureError> {
            ++shots;
            if (shotError) {
                return *shotError;
            }
            return shot;
        };
        services.windowShadow = [this] { return windowShadow; };
        services.addWindowShadow = [](const QImage& image, double scale) {
            return picture(image.size() + QSize(int(40 * scale), int(40 * scale)));
        };
        services.now = [] { return captureDate; };
        flow = std::make_shared<ScreenshotFlow>(
            std::make_shared<const ScreenshotDelivery>(outputs.services(settings)), services);
        capture::CaptureFlows flows;
        flows.fullScreen = flow;
        flows.screenshot = flow;
        makeCoordinator(flows);
    }

    DeliverySettings settings;
    Outputs outputs;
    SelectionPicture shot{picture({1920, 1080}), 1, false};
    std::optional<desktop::CaptureError> shotError;
    int shots = 0;
    bool windowShadow = true;
    std::shared_ptr<ScreenshotFlow> flow;
};

TEST_F(ScreenshotFlowTest, FullScreenShootsAndDeliversAtOnce) {
    shot = SelectionPicture{picture({1280, 1024}), 0.5, false};
    perform(CaptureAction::fullscreen);
    EXPECT_EQ(shots, 1);
    EXPECT_TRUE(selections.empty());
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_EQ(outputs.log, (Log{"sound", "copy 1280x1024 @1", "quick access"}));
    ASSERT_EQ(outputs.shown.size(), 1u);
    // A scale under 1 counts as 1.
    EXPECT_EQ(outputs.shown[0].scale, 1);
    EXPECT_EQ(outputs.shown[0].date, captureDate);
    EXPECT_FALSE(outputs.shown[0].id.isNull());

    outputs.log.clear();
    perform(CaptureAction::fullscreenCopy);
    EXPECT_EQ(outputs.log, (Log{"sound", "copy 1280x1024 @1"}));
}

TEST_F(ScreenshotFlowTest, FailuresShowTheAlertWithTheErrorsText) {
    shotError = desktop::CaptureError::noDisplays;
    perform(CaptureAction::fullscreen);
    overlayError = desktop::CaptureError::noDisplays;
    perform(CaptureAction::area);
    ASSERT_EQ(alerts.size(), 2u);
    for (const auto& [message, detail] : alerts) {
        EXPECT_EQ(message, QString("Vexlin Capture couldn’t take the screenshot"));
        EXPECT_EQ(detail, desktop::errorDescription(desktop::CaptureError::noDisplays));
    }
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_TRUE(outputs.log.empty());
}

TEST_F(ScreenshotFlowTest, AnAreaIsDeliveredWhenTheOverlayHandsItBack) {
    perform(CaptureAction::area);
    ASSERT_EQ(selections.size(), 1u);
    EXPECT_EQ(selections[0].mode, capture::SelectionMode::area);
    EXPECT_TRUE(selections[0].takesPictures);
    EXPECT_TRUE(coordinator->isSelecting());
    EXPECT_TRUE(coordinator->isBusy());
    // Another action meanwhile is ignored.
    perform(CaptureAction::fullscreen);
    EXPECT_EQ(shots, 0);

    SelectionOutcome outcome;
    outcome.kind = SelectionOutcome::Kind::area;
    outcome.rect = QRectF(100, 100, 200, 150);
    outcome.picture = SelectionPicture{picture({400, 300}), 2, false};
    endSelection(outcome);
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_FALSE(coordinator->isSelecting());
    EXPECT_FALSE(overlay); // released
    EXPECT_EQ(outputs.log, (Log{"sound", "copy 400x300 @2", "quick access"}));
}

TEST_F(ScreenshotFlowTest, OnlyAWindowAloneGetsTheShadowAndOnlyWhenItIsOn) {
    struct Case {
        bool alone;
        bool shadow;
        QSize delivered;
    };
    const Case cases[] = {
        {true, true, {480, 380}},
        {true, false, {400, 300}},
        {false, true, {400, 300}},
    };
    for (const Case& c : cases) {
        windowShadow = c.shadow;
        outputs.shown.clear();
        perform(CaptureAction::window);
        ASSERT_EQ(selections.back().mode, capture::SelectionMode::window);
        SelectionOutcome outcome;
        outcome.kind = SelectionOutcome::Kind::window;
        outcome.picture = SelectionPicture{picture({400, 300}), 2, c.alone};
        endSelection(outcome);
        ASSERT_EQ(outputs.shown.size(), 1u);
        EXPECT_EQ(outputs.shown[0].image.size(), c.delivered) << c.alone << c.shadow;
    }
}

TEST_F(ScreenshotFlowTest, ACancelledOrFailedSelectionEndsTheAction) {
    perform(CaptureAction::areaCopy);
    endSelection(SelectionOutcome::cancelled());
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_TRUE(alerts.empty());
    EXPECT_TRUE(outputs.log.empty());

    perform(CaptureAction::window);
    endSelection(SelectionOutcome::failed(desktop::CaptureError::windowNotFound));
    EXPECT_FALSE(coordinator->isBusy());
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].second, desktop::errorDescription(desktop::CaptureError::windowNotFound));
    EXPECT_TRUE(outputs.log.empty());
}

TEST_F(ScreenshotFlowTest, ACopyActionOnlyCopiesWhateverTheSettings) {
    settings.saveToDisk = settings.openEditor = true;
    build();
    perform(CaptureAction::windowCopy);
    SelectionOutcome outcome;
    outcome.kind = SelectionOutcome::Kind::window;
    outcome.picture = SelectionPicture{picture({400, 300}), 1, true};
    endSelection(outcome);
    EXPECT_EQ(outputs.log, (Log{"sound", "copy 440x340 @1"}));
}

TEST_F(ScreenshotFlowTest, AnOutcomeAfterTheFlowIsGoneIsDropped) {
    perform(CaptureAction::area);
    auto completion = pendingSelection;
    coordinator.reset();
    flow.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(overlay); // the overlay went with them
    SelectionOutcome outcome;
    outcome.kind = SelectionOutcome::Kind::area;
    outcome.picture = SelectionPicture{picture({10, 10}), 1, false};
    completion(outcome);
    EXPECT_TRUE(outputs.log.empty());
}

} // namespace
