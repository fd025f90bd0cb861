#include "videoeditor/VideoEditorWindowController.h"

#include "app/AlertPresenter.h"
#include "app/Preferences.h"
#include "app/SaveLocation.h"
#include "desktop/DigitFont.h"
#include "support/EventLoop.h"
#include "support/MovieClips.h"
#include "support/NumberedMovie.h"
#include "support/TempDir.h"
#include "videoeditor/TrimBar.h"
#include "videoeditor/VideoEditorModel.h"
#include "videoeditor/VideoEditorView.h"
#include "videoeditor/VideoEditorWindow.h"
#include "videoeditor/VideoPlayer.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

using videoeditor::VideoEditorWindowController;

class RecordingAlerts : public app::AlertPresenter {
public:
    std::vector<app::Alert> shown;
    int run(const app::Alert& alert) override {
        shown.push_back(alert);
        return 0;
    }
};

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

class VideoEditorWindow : public testing::Test {
protected:
    static void SetUpTestSuite() {
        movies = new testsupport::TempDir;
        const auto make = [](const QString& name, int tracks) {
            const QString path = movies->file(name);
            testsupport::NumberedMovie movie;
            movie.seconds = 4;
            movie.size = QSize(320, 180);
            movie.soundTracks = tracks;
            return testsupport::makeNumberedMovie(path, movie) ? path : QString();
        };
        withSound = new QString(make(QStringLiteral("sound.mp4"), 2));
        silent = new QString(make(QStringLiteral("silent.mp4"), 0));
    }
    static void TearDownTestSuite() {
        delete withSound;
        delete silent;
        delete movies;
    }

    void SetUp() override {
        ASSERT_FALSE(withSound->isEmpty());
        ASSERT_FALSE(silent->isEmpty());
        saved = VideoEditorWindowController::services();
        VideoEditorWindowController::Services& services = VideoEditorWindowController::services();
        services.recordingsFolder = [this] { return recordingsFolder; };
        services.preferences = [this]() -> app::Preferences& { return preferences; };
        services.share = [this](const QString& file, QWidget* anchor) {
            shared.append(file);
            EXPECT_NE(nullptr, anchor);
        };
        services.saveAs = [this](const app::Recording& recording, QWidget*,
                                 std::function<void(std::optional<QString>)> done) {
            savedAs.append(recording.url.toLocalFile());
            done(saveAsAnswer);
        };
        QDir().mkpath(saveFolder);
        preferences.setSaveFolderBookmark(saveFolder.toUtf8());
    }

    void TearDown() override {
        for (VideoEditorWindowController* editor : VideoEditorWindowController::openEditors()) {
            editor->window()->close();
        }
        testsupport::pump(50);
        VideoEditorWindowController::services() = saved;
        EXPECT_EQ(0, VideoEditorWindowController::openCount());
    }

    app::Recording recordingOf(const QString& path, double duration = 4) const {
        app::Recording recording;
        recording.url = QUrl::fromLocalFile(path);
        recording.duration = duration;
        recording.date = QDateTime(QDate(2024, 5, 1), QTime(9, 30, 0));
        return recording;
    }

    // Opens the recording and waits for the audio check and the player.
    VideoEditorWindowController* openReady(const app::Recording& recording) {
        VideoEditorWindowController::open(recording);
        VideoEditorWindowController* editor = VideoEditorWindowController::openEditors().back();
        EXPECT_TRUE(testsupport::waitFor(10'000, [editor] {
            return !editor->model().trimmedText().isEmpty() && editor->model().canTrim();
        }));
        return editor;
    }

    void trimTo(VideoEditorWindowController* editor, double start, double end) {
        editor->trim();
        videoeditor::TrimBar* bar = editor->view()->trimBar();
        ASSERT_TRUE(bar->isVisible());
        bar->timeline()->setRange(4, start, end);
        bar->findChild<QPushButton*>(QStringLiteral("trimDone"))->click();
        EXPECT_FALSE(bar->isVisible());
    }

    bool waitForIdle(VideoEditorWindowController* editor) {
        return testsupport::waitFor(30'000, [editor] { return !editor->isBusy(); });
    }

    static testsupport::TempDir* movies;
    static QString* withSound;
    static QString* silent;
    testsupport::TempDir dir;
    const QString recordingsFolder = dir.file(QStringLiteral("Recordings"));
    const QString saveFolder = dir.file(QStringLiteral("Captures"));
    app::Preferences preferences{dir.file(QStringLiteral("config/VexlinCapture.conf"))};
    app::SaveLocation::ScopedServices location{{&preferences, {}}};
    RecordingAlerts alerts;
    app::ScopedAlertPresenter useAlerts{alerts};
    VideoEditorWindowController::Services saved;
    QStringList shared;
    QStringList savedAs;
    std::optional<QString> saveAsAnswer;
};

testsupport::TempDir* VideoEditorWindow::movies = nullptr;
QString* VideoEditorWindow::withSound = nullptr;
QString* VideoEditorWindow::silent = nullptr;

TEST_F(VideoEditorWindow, EachVideoOpensItsOwnTitledWindowAndAGifNone) {
    app::Recording gif = recordingOf(*withSound);
    gif.format = app::Recording::Format::gif;
    VideoEditorWindowController::open(gif);
    EXPECT_EQ(0, VideoEditorWindowController::openCount());

    const app::Recording recording = recordingOf(*withSound);
    VideoEditorWindowController::open(recording);
    VideoEditorWindowController::open(recording);
    const std::vector<VideoEditorWindowController*> open =
        VideoEditorWindowController::openEditors();
    ASSERT_EQ(2u, open.size());
    EXPECT_NE(open[0]->window(), open[1]->window());
    for (VideoEditorWindowController* editor : open) {
        EXPECT_EQ(QStringLiteral("Vexlin Capture Recording 2024-05-01 at 09.30.00"),
                  editor->window()->windowTitle());
        EXPECT_TRUE(editor->window()->isVisible());
        EXPECT_GE(editor->view()->minimumWidth(), 640);
        EXPECT_GE(editor->view()->minimumHeight(), 420);
        EXPECT_EQ(52, editor->view()->controlBar()->height());
    }
    // Closing one leaves the other in the list, and pauses its player.
    const QPointer<QWidget> first = open[0]->window();
    open[0]->player()->play();
    first->close();
    testsupport::pump(20);
    ASSERT_EQ(1, VideoEditorWindowController::openCount());
    EXPECT_EQ(open[1], VideoEditorWindowController::openEditors().front());
    EXPECT_TRUE(first.isNull()) << "the closed editor is let go of";
}

TEST_F(VideoEditorWindow, ControlsFollowTheAudioCheckFormatAndTrimming) {
    VideoEditorWindowController* editor = openReady(recordingOf(*withSound));
    auto* removeAudio = editor->window()->findChild<QCheckBox*>(QStringLiteral("removeAudio"));
    auto* length = editor->window()->findChild<QLabel*>(QStringLiteral("lengthText"));
    ASSERT_TRUE(removeAudio && length);
    EXPECT_TRUE(editor->model().hasAudio());
    EXPECT_TRUE(removeAudio->isEnabled());
    EXPECT_EQ(QStringLiteral("0:04"), length->text());

    removeAudio->setChecked(true);
    editor->window()->findChild<QToolButton*>(QStringLiteral("formatGif"))->click();
    EXPECT_EQ(app::Recording::Format::gif, editor->model().format());
    EXPECT_FALSE(removeAudio->isEnabled());
    EXPECT_TRUE(removeAudio->isChecked()) << "it keeps its value";
    editor->window()->findChild<QToolButton*>(QStringLiteral("formatVideo"))->click();
    EXPECT_TRUE(removeAudio->isEnabled());
    EXPECT_TRUE(editor->model().removeAudio());

    trimTo(editor, 1, 3);
    EXPECT_EQ(QStringLiteral("0:02 (trimmed)"), length->text());
    EXPECT_DOUBLE_EQ(1, editor->trimmedRange().start);
    EXPECT_DOUBLE_EQ(2, editor->trimmedRange().duration);
    // Cancel keeps what was there before.
    editor->trim();
    editor->view()->trimBar()->timeline()->setRange(4, 0, 4);
    editor->view()->trimBar()->findChild<QPushButton*>(QStringLiteral("trimCancel"))->click();
    EXPECT_DOUBLE_EQ(1, editor->trimmedRange().start);
    EXPECT_EQ(QStringLiteral("0:02 (trimmed)"), length->text());

    VideoEditorWindowController* quiet = openReady(recordingOf(*silent));
    EXPECT_FALSE(quiet->model().hasAudio());
    EXPECT_FALSE(
        quiet->window()->findChild<QCheckBox*>(QStringLiteral("removeAudio"))->isEnabled());
}

// Every control of the bar shows its text whole and stands clear of the
// next, at the window's minimum size: a bar squeezed below its controls cut
// "Remove Audio", the length and the busy text and laid Share over the format.
void expectBarWhole(VideoEditorWindowController* editor, const char* when) {
    SCOPED_TRACE(when);
    QWidget* window = editor->window();
    window->resize(window->minimumSizeHint());
    window->resize(1, 1); // the smallest it will go
    QCoreApplication::processEvents();
    editor->view()->controlBar()->layout()->activate();
    std::vector<QRect> boxes;
    for (QWidget* child : editor->view()->controlBar()->findChildren<QWidget*>()) {
        if (!child->isVisible() || child->parentWidget() != editor->view()->controlBar()) {
            continue;
        }
        const QString name = child->objectName();
        EXPECT_GE(child->width(), std::min(child->minimumSizeHint().width(), child->maximumWidth()))
            << name.toStdString();
        if (auto* label = qobject_cast<QLabel*>(child)) {
            EXPECT_GE(label->contentsRect().width(),
                      label->fontMetrics().horizontalAdvance(label->text()))
                << label->text().toStdString();
        }
        for (const QRect& other : boxes) {
            EXPECT_FALSE(other.intersects(child->geometry())) << name.toStdString();
        }
        boxes.push_back(child->geometry());
        EXPECT_LE(child->geometry().right(), editor->view()->controlBar()->width())
            << name.toStdString();
    }
}

TEST_F(VideoEditorWindow, TrimmingShowsOneTrimAndTheTrimmedTimesAndTheBarStaysWhole) {
    VideoEditorWindowController* editor = openReady(recordingOf(*withSound));
    const auto visibleTrims = [editor] {
        int count = 0;
        for (QPushButton* button : editor->window()->findChildren<QPushButton*>()) {
            count += button->isVisible() && button->text() == QStringLiteral("Trim");
        }
        return count;
    };
    auto* time = editor->player()->findChild<QLabel*>(QStringLiteral("timeLabel"));
    ASSERT_NE(nullptr, time);
    EXPECT_EQ(QStringLiteral("0:00 / 0:04"), time->text());
    EXPECT_EQ(1, visibleTrims());
    editor->trim();
    EXPECT_EQ(1, visibleTrims()) << "the bar's Trim makes way for the trimming bar's";
    editor->view()->trimBar()->timeline()->setRange(4, 1, 3);
    editor->view()->trimBar()->findChild<QPushButton*>(QStringLiteral("trimDone"))->click();
    EXPECT_EQ(1, visibleTrims());
    // The player reads as the trimmed movie: from its start, to its length.
    EXPECT_EQ(QStringLiteral("0:00 / 0:02"), time->text());
    editor->player()->seek(2.5);
    EXPECT_EQ(QStringLiteral("0:01 / 0:02"), time->text());
    // Its digits are of one width, as are the length's: nothing jitters.
    for (QLabel* label :
         {time, editor->window()->findChild<QLabel*>(QStringLiteral("lengthText"))}) {
        EXPECT_TRUE(desktop::hasFixedWidthDigits(label->font()))
            << label->objectName().toStdString();
    }
    expectBarWhole(editor, "after a trim");

    editor->window()->findChild<QToolButton*>(QStringLiteral("formatGif"))->click();
    editor->save();
    ASSERT_TRUE(editor->model().busyMessage());
    expectBarWhole(editor, "while the GIF is made");
    ASSERT_TRUE(waitForIdle(editor));
    testsupport::pump(20);
    // Save says it saved, and the note goes again.
    auto* note = editor->window()->findChild<QLabel*>(QStringLiteral("busyText"));
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(QStringLiteral("Saved"), note->text());
    EXPECT_TRUE(testsupport::waitFor(3'000, [note] { return !note->isVisible(); }));
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(VideoEditorWindow, TwoSavesBackToBackMakeOneExport) {
    VideoEditorWindowController* editor = openReady(recordingOf(*withSound));
    trimTo(editor, 1, 3);
    editor->save();
    // Busy at once, with the text of a real export and the bar disabled.
    EXPECT_TRUE(editor->isBusy());
    EXPECT_EQ(QStringLiteral("Exporting…"), editor->model().busyMessage().value_or(QString()));
    EXPECT_FALSE(editor->view()->controlBar()->isEnabled());
    editor->save();
    editor->window()->saveDocument();
    ASSERT_TRUE(waitForIdle(editor));
    testsupport::pump(50);
    EXPECT_EQ(1, filesIn(recordingsFolder).size());
    EXPECT_EQ(QStringList{"Vexlin Capture Recording 2024-05-01 at 09.30.00.mp4"},
              filesIn(saveFolder));
    EXPECT_TRUE(editor->view()->controlBar()->isEnabled());
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(VideoEditorWindow, CopyOfTheUntouchedVideoIsTheRecordingAndClosesWhenAsked) {
    preferences.setCloseEditorAfterExport(true);
    const app::Recording recording = recordingOf(*withSound);
    VideoEditorWindowController* editor = openReady(recording);
    const QPointer<QWidget> window = editor->window();
    editor->window()->copy();
    testsupport::pump(20);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(nullptr, data);
    EXPECT_EQ(QList<QUrl>{recording.url}, data->urls());
    EXPECT_FALSE(QDir(recordingsFolder).exists()) << "nothing was exported";
    EXPECT_EQ(0, VideoEditorWindowController::openCount());
    EXPECT_TRUE(window.isNull() || !window->isVisible());
}

TEST_F(VideoEditorWindow, ACancelledSaveAsAndAShareLeaveItOpen) {
    preferences.setCloseEditorAfterExport(true);
    VideoEditorWindowController* editor = openReady(recordingOf(*withSound));
    trimTo(editor, 0.5, 2);
    editor->saveAs();
    ASSERT_TRUE(waitForIdle(editor));
    ASSERT_EQ(1, savedAs.size());
    EXPECT_TRUE(savedAs.first().startsWith(recordingsFolder));
    EXPECT_EQ(1, VideoEditorWindowController::openCount());

    editor->share(editor->window());
    ASSERT_TRUE(waitForIdle(editor));
    ASSERT_EQ(1, shared.size());
    EXPECT_TRUE(QFile::exists(shared.first()));
    EXPECT_EQ(1, VideoEditorWindowController::openCount());

    // A Save As that saved closes it.
    saveAsAnswer = dir.file(QStringLiteral("chosen.mp4"));
    editor->saveAs();
    EXPECT_TRUE(
        testsupport::waitFor(30'000, [] { return VideoEditorWindowController::openCount() == 0; }));
}

TEST_F(VideoEditorWindow, ABrokenRecordingEndsTheActionWithItsAlertAndNoFile) {
    const QString truncated = dir.file(QStringLiteral("truncated.mp4"));
    const QByteArray bytes = testsupport::readAll(*withSound);
    testsupport::writeAll(truncated, bytes.left(bytes.size() / 2));
    VideoEditorWindowController* editor = openReady(recordingOf(truncated));
    trimTo(editor, 0.5, 3.5);
    editor->save();
    ASSERT_TRUE(waitForIdle(editor));
    ASSERT_EQ(1u, alerts.shown.size());
    EXPECT_TRUE(
        alerts.shown[0].message.startsWith(QLatin1String("The video could not be exported.")))
        << alerts.shown[0].message.toStdString();
    EXPECT_EQ(QStringList(), filesIn(recordingsFolder));
    EXPECT_EQ(QStringList(), filesIn(saveFolder));
    EXPECT_EQ(1, VideoEditorWindowController::openCount());
    EXPECT_FALSE(editor->model().busyMessage());

    // A file that is gone opens a usable window that cannot trim.
    VideoEditorWindowController::open(recordingOf(dir.file(QStringLiteral("gone.mp4"))));
    VideoEditorWindowController* gone = VideoEditorWindowController::openEditors().back();
    EXPECT_TRUE(
        testsupport::waitFor(10'000, [gone] { return gone->model().trimmedText() == "0:04"; }));
    EXPECT_FALSE(gone->model().canTrim());
    // Untrimmed, the recording itself would be handed on: it is not there.
    gone->copy();
    EXPECT_FALSE(gone->isBusy());
    ASSERT_EQ(2u, alerts.shown.size());
    EXPECT_TRUE(alerts.shown[1].message.contains(QLatin1String("gone.mp4")))
        << alerts.shown[1].message.toStdString();
    EXPECT_EQ(2, VideoEditorWindowController::openCount());
}

// The bytes of an MP4 up to a little way into its data: the index (in
// front, as recordings are written) reads whole, the pictures do not.
QByteArray cutAfterIndex(const QByteArray& movie) {
    qsizetype at = 0;
    while (at + 8 <= movie.size()) {
        const quint32 size = (quint32(uchar(movie[at])) << 24) |
                             (quint32(uchar(movie[at + 1])) << 16) |
                             (quint32(uchar(movie[at + 2])) << 8) | quint32(uchar(movie[at + 3]));
        if (movie.mid(at + 4, 4) == "mdat") {
            return movie.left(at + 8 + 64);
        }
        if (size < 8) {
            break;
        }
        at += size;
    }
    return {};
}

TEST_F(VideoEditorWindow, AMovieCutOffAfterItsIndexSaysSoOnOpeningAndHandsNothingOn) {
    testsupport::MovieClip clip;
    clip.seconds = 3;
    clip.size = QSize(320, 180);
    clip.pattern = true;
    clip.fastStart = true;
    const QString whole = dir.file(QStringLiteral("whole.mp4"));
    ASSERT_TRUE(testsupport::makeMovieClip(whole, clip));
    const QByteArray cut = cutAfterIndex(testsupport::readAll(whole));
    ASSERT_FALSE(cut.isEmpty());
    const QString damaged = dir.file(QStringLiteral("damaged.mp4"));
    testsupport::writeAll(damaged, cut);

    VideoEditorWindowController::open(recordingOf(damaged, 3));
    VideoEditorWindowController* editor = VideoEditorWindowController::openEditors().back();
    ASSERT_TRUE(testsupport::waitFor(10'000, [&] { return !alerts.shown.empty(); }))
        << "opening said nothing";
    EXPECT_EQ(VideoEditorWindowController::damagedText(), alerts.shown[0].message);
    EXPECT_TRUE(editor->isDamaged());
    EXPECT_FALSE(editor->model().canTrim());
    EXPECT_FALSE(
        editor->player()->findChild<QToolButton*>(QStringLiteral("playButton"))->isEnabled());

    // Untrimmed, Copy and Save would hand on the file itself: they say why not
    // instead, and nothing is written or put on the clipboard.
    QGuiApplication::clipboard()->clear();
    editor->save();
    editor->copy();
    testsupport::pump(20);
    ASSERT_EQ(3u, alerts.shown.size());
    EXPECT_EQ(VideoEditorWindowController::damagedText(), alerts.shown[2].message);
    EXPECT_FALSE(editor->isBusy());
    EXPECT_EQ(QStringList(), filesIn(saveFolder));
    EXPECT_FALSE(QDir(recordingsFolder).exists());
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    EXPECT_TRUE(data == nullptr || data->urls().isEmpty());

    // A whole movie opens without a word.
    openReady(recordingOf(whole, 3));
    EXPECT_EQ(3u, alerts.shown.size());
}

// The Trim button's picture: the icon theme's "edit-cut" where the theme has
// one, else a drawing of our own rather than nothing.
TEST(TrimButton, ShowsTheThemesCutIconElseADrawnOne) {
    testsupport::TempDir themes;
    const auto writeTheme = [&](const QString& name, bool withCut) {
        QDir().mkpath(themes.file(name + QStringLiteral("/16x16/actions")));
        testsupport::writeAll(themes.file(name + QStringLiteral("/index.theme")),
                              "[Icon Theme]\nName=" + name.toUtf8() +
                                  "\nDirectories=16x16/actions\n\n[16x16/actions]\nSize=16\n"
                                  "Type=Fixed\n");
        if (withCut) {
            QImage red(16, 16, QImage::Format_ARGB32);
            red.fill(Qt::red);
            ASSERT_TRUE(
                red.save(themes.file(name + QStringLiteral("/16x16/actions/edit-cut.png"))));
        }
    };
    writeTheme(QStringLiteral("withcut"), true);
    writeTheme(QStringLiteral("bare"), false);
    const QStringList savedPaths = QIcon::themeSearchPaths();
    const QString savedTheme = QIcon::themeName();
    QIcon::setThemeSearchPaths({themes.path()});

    struct Case {
        QString theme;
        bool themes;
    };
    for (const Case& c :
         {Case{QStringLiteral("withcut"), true}, Case{QStringLiteral("bare"), false}}) {
        SCOPED_TRACE(c.theme.toStdString());
        QIcon::setThemeName(c.theme);
        videoeditor::VideoEditorModel model;
        videoeditor::VideoEditorView view(
            model, new videoeditor::VideoPlayer(themes.file(QStringLiteral("none.mp4"))), {});
        auto* trim = view.findChild<QPushButton*>(QStringLiteral("trimButton"));
        ASSERT_TRUE(trim);
        const QImage icon = trim->icon()
                                .pixmap(QSize(16, 16), 1.0)
                                .toImage()
                                .convertToFormat(QImage::Format_ARGB32);
        const QColor text = trim->palette().color(QPalette::Active, QPalette::ButtonText);
        int inked = 0;
        int red = 0;
        int textColoured = 0;
        for (int y = 0; y < icon.height(); ++y) {
            for (int x = 0; x < icon.width(); ++x) {
                const QColor pixel = icon.pixelColor(x, y);
                if (pixel.alpha() < 200) {
                    continue;
                }
                ++inked;
                red += pixel.red() > 200 && pixel.green() < 50 ? 1 : 0;
                textColoured += std::abs(pixel.red() - text.red()) < 40 &&
                                        std::abs(pixel.green() - text.green()) < 40 &&
                                        std::abs(pixel.blue() - text.blue()) < 40
                                    ? 1
                                    : 0;
            }
        }
        if (c.themes) {
            EXPECT_EQ(16 * 16, red);
        } else {
            EXPECT_GT(inked, 20) << "an icon that shows";
            EXPECT_LT(inked, 16 * 16 / 2) << "a figure, not a blot";
            EXPECT_EQ(inked, textColoured) << "in the button's text colour";
        }
    }
    QIcon::setThemeName(savedTheme);
    QIcon::setThemeSearchPaths(savedPaths);
}

} // namespace
