// The recent-captures strip over a listing the tests fill: its three states,
// the ring, the badges, loading only what is in view, and what a click, a
// drag and the menu do with a tile's file.
#include "delivery/RecentCapturesStrip.h"
#include "app/Workspace.h"
#include "delivery/RecentTileDelegate.h"
#include "delivery/RecentTileModel.h"
#include "delivery/RecentTileRow.h"
#include "support/EventLoop.h"
#include "support/FakeRecentLibrary.h"
#include "support/TempDir.h"

#include <QAccessible>
#include <QAction>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

using app::RecentFile;
using delivery::RecentCapturesStrip;
using delivery::RecentTileDelegate;
using delivery::RecentTileModel;
using delivery::RecentTileRow;
using testsupport::FakeRecentLibrary;
using testsupport::recentFile;
using Kind = app::RecentFile::Kind;
using What = FakeRecentLibrary::Request::What;

namespace {

QImage solidImage(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

std::vector<RecentFile> files(int count, const QString& folder = QStringLiteral("/captures")) {
    std::vector<RecentFile> list;
    for (int i = 0; i < count; ++i) {
        list.push_back(
            recentFile(QStringLiteral("%1/Shot %2.png").arg(folder).arg(i), Kind::image));
    }
    return list;
}

class Strip : public testing::Test {
protected:
    // A strip in a window of `width`, shown, with the given files listed.
    RecentCapturesStrip& make(std::vector<RecentFile> list, int width = 800,
                              std::optional<QString> current = std::nullopt) {
        library.setFiles(std::move(list));
        strip = std::make_unique<RecentCapturesStrip>(
            library, current, [this](const RecentFile& file) { opened.push_back(file); });
        strip->resize(width, RecentCapturesStrip::stripHeight);
        strip->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(strip.get()));
        testsupport::pump(10);
        return *strip;
    }
    RecentTileRow& row() { return *strip->row(); }
    QPoint centreOf(int row) {
        return strip->row()->visualRect(strip->model()->index(row)).center();
    }
    // Renders the row as it is on screen.
    QImage picture() {
        QImage image(row().viewport()->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        row().viewport()->render(&image);
        return image;
    }

    FakeRecentLibrary library;
    std::unique_ptr<RecentCapturesStrip> strip;
    std::vector<RecentFile> opened;
};

TEST_F(Strip, ShowsTheUnreadableFolderBeforeTheListAndTheRowOnlyWithFiles) {
    struct Case {
        bool accessible;
        int files;
        RecentCapturesStrip::State state;
    };
    const Case cases[] = {
        {false, 3, RecentCapturesStrip::State::unreadable},
        {false, 0, RecentCapturesStrip::State::unreadable},
        {true, 0, RecentCapturesStrip::State::empty},
        {true, 2, RecentCapturesStrip::State::row},
    };
    for (const Case& c : cases) {
        library.setAccessible(c.accessible);
        make(files(c.files));
        SCOPED_TRACE(testing::Message() << c.accessible << " " << c.files);
        EXPECT_EQ(strip->state(), c.state);
        EXPECT_EQ(strip->height(), 96);
        EXPECT_EQ(strip->message()->isVisible(), c.state == RecentCapturesStrip::State::unreadable);
        EXPECT_EQ(strip->settingsButton()->isVisible(),
                  c.state == RecentCapturesStrip::State::unreadable);
        EXPECT_EQ(strip->emptyText()->isVisible(), c.state == RecentCapturesStrip::State::empty);
        EXPECT_EQ(row().isVisible(), c.state == RecentCapturesStrip::State::row);
    }
    EXPECT_EQ(strip->message()->text(),
              QStringLiteral("Choose a save folder in Settings to see your captures here."));
    EXPECT_EQ(strip->settingsButton()->text(), QStringLiteral("Settings…"));
    EXPECT_EQ(strip->emptyText()->text(), QStringLiteral("Saved captures appear here."));
}

TEST_F(Strip, FollowsTheListingAndItsSettingsButtonOpensTheSettings) {
    make({});
    ASSERT_EQ(strip->state(), RecentCapturesStrip::State::empty);
    library.setFiles(files(2));
    EXPECT_EQ(strip->state(), RecentCapturesStrip::State::row);
    EXPECT_EQ(strip->model()->rowCount(), 2);
    library.setAccessible(false);
    EXPECT_EQ(strip->state(), RecentCapturesStrip::State::unreadable);
    EXPECT_FALSE(row().isVisible()) << "the stale list is not shown";

    int settings = 0;
    RecentCapturesStrip::openSettings = [&] { ++settings; };
    QTest::mouseClick(strip->settingsButton(), Qt::LeftButton);
    RecentCapturesStrip::openSettings = nullptr;
    EXPECT_EQ(settings, 1);
    library.setAccessible(true);
    EXPECT_EQ(strip->state(), RecentCapturesStrip::State::row);
}

TEST_F(Strip, RingsTheCurrentFileByItsCleanedPath) {
    struct Case {
        std::optional<QString> current;
        int ringed;
    };
    const Case cases[] = {
        {std::nullopt, -1},
        {QStringLiteral("/captures/Shot 1.png"), 1},
        {QStringLiteral("/captures/./old/../Shot 2.png"), 2},
        {QStringLiteral("/captures//Shot 0.png"), 0},
        {QStringLiteral("/elsewhere/Shot 1.png"), -1},
        {QStringLiteral("/captures/shot 1.png"), -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.current.value_or(QStringLiteral("none")).toStdString());
        make(files(3), 800, c.current);
        EXPECT_EQ(strip->model()->currentRow(), c.ringed);
        for (int r = 0; r < 3; ++r) {
            EXPECT_EQ(strip->model()->index(r).data(RecentTileModel::CurrentRole).toBool(),
                      r == c.ringed);
            EXPECT_EQ(row().selectionModel()->isSelected(strip->model()->index(r)), r == c.ringed)
                << "assistive technology reads the ringed tile as selected";
        }
    }
    // The ring follows the host alone.
    strip->setCurrentPath(QStringLiteral("/captures/Shot 0.png"));
    EXPECT_EQ(strip->model()->currentRow(), 0);
    strip->setCurrentPath(std::nullopt);
    EXPECT_EQ(strip->model()->currentRow(), -1);
}

TEST_F(Strip, TheRingIsDrawnInTheAccentColourOutsideTheCurrentTileOnly) {
    make(files(3), 800, QStringLiteral("/captures/Shot 1.png"));
    QPalette palette = row().palette();
    palette.setColor(QPalette::Highlight, QColor(255, 0, 255));
    row().setPalette(palette);
    const QImage image = picture();
    const auto ringAt = [&](int r) {
        const QRect tile = row().visualRect(strip->model()->index(r));
        // 2 points left of the tile, halfway down: inside the 2.5-wide ring.
        const QColor pixel = image.pixelColor(tile.left() - 2, tile.center().y());
        return pixel.red() > 200 && pixel.green() < 80 && pixel.blue() > 200;
    };
    EXPECT_FALSE(ringAt(0));
    EXPECT_TRUE(ringAt(1));
    EXPECT_FALSE(ringAt(2));
}

TEST(TileBadge, ImagesHaveNoneGifsSayGifAndVideosAddTheirLengthOnceKnown) {
    using Badge = RecentTileDelegate::Badge;
    struct Case {
        Kind kind;
        std::optional<double> seconds;
        std::optional<Badge> badge;
    };
    const Case cases[] = {
        {Kind::image, std::nullopt, std::nullopt},
        {Kind::image, 12.0, std::nullopt},
        {Kind::gif, std::nullopt, Badge{false, QStringLiteral("GIF")}},
        {Kind::video, std::nullopt, Badge{true, QString()}},
        {Kind::video, 65.4, Badge{true, QStringLiteral("1:05")}},
        {Kind::video, 0.4, Badge{true, QStringLiteral("0:00")}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RecentTileDelegate::badgeFor(c.kind, c.seconds), c.badge)
            << int(c.kind) << " " << c.seconds.value_or(-1);
    }
}

TEST_F(Strip, AVideoTileShowsItsSymbolAloneUntilItsLengthArrives) {
    make({recentFile("/c/a.png", Kind::image), recentFile("/c/b.gif", Kind::gif),
          recentFile("/c/c.mp4", Kind::video)});
    for (const char* path : {"/c/a.png", "/c/b.gif", "/c/c.mp4"}) {
        ASSERT_TRUE(library.answerThumbnail(path, solidImage(120, 76, Qt::white)));
    }
    // The dark capsule's width along a line under its symbol and text.
    const auto capsuleWidth = [&](int r) {
        const QImage image = picture();
        const QRect tile = row().visualRect(strip->model()->index(r));
        const int y = tile.bottom() - 6;
        int dark = 0;
        for (int x = tile.left(); x <= tile.right(); ++x) {
            dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        }
        return dark;
    };
    EXPECT_EQ(capsuleWidth(0), 0) << "an image has no badge";
    EXPECT_GT(capsuleWidth(1), 12) << "GIF";
    const int symbolAlone = capsuleWidth(2);
    EXPECT_GT(symbolAlone, 12);
    const QModelIndex video = strip->model()->index(2);
    EXPECT_FALSE(video.data(RecentTileModel::DurationRole).isValid());
    EXPECT_EQ(video.data(Qt::AccessibleDescriptionRole).toString(), QString());

    ASSERT_TRUE(library.answerDuration("/c/c.mp4", 65.4));
    EXPECT_DOUBLE_EQ(video.data(RecentTileModel::DurationRole).toDouble(), 65.4);
    EXPECT_EQ(video.data(Qt::AccessibleDescriptionRole).toString(), QStringLiteral("1:05"));
    EXPECT_GT(capsuleWidth(2), symbolAlone + 10) << "the length follows the symbol";

    // A length that cannot be read leaves the symbol alone.
    library.setFiles({recentFile("/c/c.mp4", Kind::video, QDateTime::currentDateTime())});
    testsupport::pump(10);
    ASSERT_TRUE(library.answerThumbnail("/c/c.mp4", QImage()));
    ASSERT_TRUE(library.answerDuration("/c/c.mp4", std::nullopt));
    EXPECT_EQ(capsuleWidth(0), symbolAlone);
}

TEST_F(Strip, AClickOpensTheTileUnderItOnceAndNothingElse) {
    make({recentFile("/c/a.png", Kind::image), recentFile("/c/b.gif", Kind::gif),
          recentFile("/c/c.mov", Kind::video)});
    for (int r = 0; r < 3; ++r) {
        opened.clear();
        QTest::mouseClick(row().viewport(), Qt::LeftButton, {}, centreOf(r));
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(opened[0], library.files()[std::size_t(r)]);
    }
    opened.clear();
    const QRect first = row().visualRect(strip->model()->index(0));
    // Between two tiles, above them, and a press that ends on another tile.
    QTest::mouseClick(row().viewport(), Qt::LeftButton, {}, first.topRight() + QPoint(4, 10));
    QTest::mouseClick(row().viewport(), Qt::LeftButton, {}, QPoint(first.center().x(), 4));
    QTest::mousePress(row().viewport(), Qt::LeftButton, {}, centreOf(0));
    QTest::mouseRelease(row().viewport(), Qt::LeftButton, {}, centreOf(1));
    QTest::mouseClick(row().viewport(), Qt::RightButton, {}, centreOf(0));
    EXPECT_TRUE(opened.empty());
}

TEST_F(Strip, EveryKindHasTheSameMenuAndItsEntriesReachTheLibraryAndFileManager) {
    make({recentFile("/c/a.png", Kind::image), recentFile("/c/b.gif", Kind::gif),
          recentFile("/c/c.mp4", Kind::video)});
    QStringList revealed;
    app::Workspace::ScopedServices workspace(
        {{}, [&](const QString& file, std::function<void(bool)> done) {
             revealed << file;
             done(true);
         }});
    for (int r = 0; r < 3; ++r) {
        const RecentFile file = library.files()[std::size_t(r)];
        SCOPED_TRACE(file.path.toStdString());
        QContextMenuEvent event(QContextMenuEvent::Mouse, centreOf(r),
                                row().viewport()->mapToGlobal(centreOf(r)));
        QApplication::sendEvent(row().viewport(), &event);
        QMenu* menu = row().findChild<QMenu*>();
        ASSERT_NE(menu, nullptr);
        const QList<QAction*> entries = menu->actions();
        ASSERT_EQ(entries.size(), 4);
        EXPECT_EQ(entries[0]->text(), QStringLiteral("Show in File Manager"));
        EXPECT_EQ(entries[1]->text(), QStringLiteral("Copy"));
        EXPECT_TRUE(entries[2]->isSeparator());
        EXPECT_EQ(entries[3]->text(), QStringLiteral("Move to Trash"));

        entries[0]->trigger();
        entries[1]->trigger();
        entries[3]->trigger();
        menu->close();
        testsupport::pump(10);
        EXPECT_EQ(row().findChild<QMenu*>(), nullptr) << "the menu goes when closed";
        EXPECT_EQ(revealed.last(), file.path);
        ASSERT_FALSE(library.copied.empty());
        EXPECT_EQ(library.copied.back(), file);
        ASSERT_FALSE(library.trashed.empty());
        EXPECT_EQ(library.trashed.back(), file);
    }
    EXPECT_EQ(library.copied.size(), 3u);
    EXPECT_EQ(library.trashed.size(), 3u);

    // Off the tiles there is no menu.
    QContextMenuEvent between(QContextMenuEvent::Mouse, QPoint(4, 40),
                              row().viewport()->mapToGlobal(QPoint(4, 40)));
    QApplication::sendEvent(row().viewport(), &between);
    EXPECT_EQ(row().findChild<QMenu*>(), nullptr);
}

TEST_F(Strip, ADragCarriesTheFileAndAGoneFileNothing) {
    testsupport::TempDir dir;
    const QString kept = dir.file(QStringLiteral("kept.png"));
    testsupport::writeAll(kept, "png");
    make({recentFile(kept, Kind::image),
          recentFile(dir.file(QStringLiteral("gone.mp4")), Kind::video)});
    std::vector<QList<QUrl>> carried;
    std::vector<bool> hadImage;
    row().setDragRunner([&](std::unique_ptr<QMimeData> data, const QPixmap& image) {
        ASSERT_TRUE(data);
        carried.push_back(data->urls());
        hadImage.push_back(!image.isNull());
    });
    ASSERT_TRUE(library.answerThumbnail(kept, solidImage(240, 152, Qt::red)));
    const auto drag = [&](int r) {
        const QPoint from = centreOf(r);
        QTest::mousePress(row().viewport(), Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, from + QPoint(30, 0),
                         row().viewport()->mapToGlobal(from + QPoint(30, 0)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(row().viewport(), &move);
        QTest::mouseRelease(row().viewport(), Qt::LeftButton, {}, from + QPoint(30, 0));
    };
    drag(0);
    drag(1);
    ASSERT_EQ(carried.size(), 2u);
    EXPECT_EQ(carried[0], QList<QUrl>{QUrl::fromLocalFile(kept)});
    EXPECT_TRUE(hadImage[0]) << "the thumbnail goes with the pointer";
    EXPECT_TRUE(carried[1].isEmpty()) << "the drag starts yet carries nothing";
    EXPECT_TRUE(opened.empty()) << "a drag is no click";
}

TEST_F(Strip, OnlyTilesInViewAskForThumbnails) {
    make(files(60), 300);
    const auto askedRows = [&] {
        std::vector<int> rows;
        for (const auto* request : library.asked(What::thumbnail)) {
            const QString name = QFileInfo(request->file.path).completeBaseName();
            rows.push_back(name.section(QLatin1Char(' '), 1).toInt());
        }
        return rows;
    };
    // 300 points show two tiles and part of a third; one more beyond.
    EXPECT_EQ(askedRows(), (std::vector<int>{0, 1, 2, 3}));
    for (const auto* request : library.asked(What::thumbnail)) {
        EXPECT_EQ(request->scale, row().devicePixelRatioF());
    }

    // Scrolled to the end: the last few only, none of the middle.
    library.requests.clear();
    QScrollBar* bar = row().horizontalScrollBar();
    EXPECT_EQ(bar->maximum(), 12 * 2 + 60 * 120 + 59 * 8 - 300);
    EXPECT_TRUE(row().scrollIndicator()->isVisible());
    bar->setValue(bar->maximum());
    testsupport::pump(10);
    const std::vector<int> end = askedRows();
    ASSERT_FALSE(end.empty());
    EXPECT_GE(end.front(), 56);
    EXPECT_EQ(end.back(), 59);
    EXPECT_LE(end.size(), 4u);

    // A row of three fits and has no scroll bar.
    make(files(3), 800);
    EXPECT_FALSE(row().scrollIndicator()->isVisible());
}

TEST_F(Strip, EachTileAsksForItsThumbnailThenItsLengthAndKeepsThemWhileItsFileIsRenewed) {
    make({recentFile("/c/clip.mp4", Kind::video)});
    ASSERT_EQ(library.requests.size(), 1u);
    EXPECT_EQ(library.requests[0].what, What::thumbnail);
    EXPECT_FALSE(library.answerDuration("/c/clip.mp4", 3)) << "no length asked yet";
    ASSERT_TRUE(library.answerThumbnail("/c/clip.mp4", solidImage(120, 76, Qt::red)));
    ASSERT_EQ(library.requests.size(), 2u);
    EXPECT_EQ(library.requests[1].what, What::duration);
    ASSERT_TRUE(library.answerDuration("/c/clip.mp4", 65.4));

    // Painted again and scrolled: nothing is asked twice.
    row().viewport()->repaint();
    testsupport::pump(10);
    EXPECT_EQ(library.requests.size(), 2u);

    // The file changes in place: asked again, the old results stay meanwhile.
    library.setFiles({recentFile("/c/clip.mp4", Kind::video, QDateTime::currentDateTime())});
    testsupport::pump(10);
    ASSERT_EQ(library.requests.size(), 3u);
    EXPECT_EQ(library.requests[2].what, What::thumbnail);
    const QModelIndex tile = strip->model()->index(0);
    EXPECT_EQ(tile.data(RecentTileModel::ImageRole).value<QImage>().pixelColor(0, 0),
              QColor(Qt::red));
    EXPECT_DOUBLE_EQ(tile.data(RecentTileModel::DurationRole).toDouble(), 65.4);
    ASSERT_TRUE(library.answerThumbnail("/c/clip.mp4", solidImage(120, 76, Qt::blue)));
    EXPECT_EQ(tile.data(RecentTileModel::ImageRole).value<QImage>().pixelColor(0, 0),
              QColor(Qt::blue));
    EXPECT_DOUBLE_EQ(tile.data(RecentTileModel::DurationRole).toDouble(), 65.4);
    ASSERT_TRUE(library.answerDuration("/c/clip.mp4", 70));
    EXPECT_DOUBLE_EQ(tile.data(RecentTileModel::DurationRole).toDouble(), 70);
}

TEST_F(Strip, AnswersForAFileThatLeftTheListAreDropped) {
    make({recentFile("/c/a.png", Kind::image), recentFile("/c/b.png", Kind::image)});
    library.setFiles({recentFile("/c/b.png", Kind::image)});
    testsupport::pump(10);
    // The old answer has no tile to land on; b's answers still do.
    library.answerThumbnail("/c/a.png", solidImage(10, 10, Qt::red));
    ASSERT_TRUE(library.answerThumbnail("/c/b.png", solidImage(10, 10, Qt::green)));
    EXPECT_EQ(strip->model()->rowCount(), 1);
    EXPECT_EQ(
        strip->model()->index(0).data(RecentTileModel::ImageRole).value<QImage>().pixelColor(0, 0),
        QColor(Qt::green));
    EXPECT_FALSE(library.answerThumbnail("/c/b.png", QImage())) << "asked once only";
}

TEST(TileToolTip, NameThenShortDateAndTimeOfTheLocale) {
    const RecentFile file = recentFile(QStringLiteral("/c/Shot 1.png"), Kind::image,
                                       QDateTime(QDate(2026, 12, 10), QTime(19, 55)));
    const QString english =
        RecentTileModel::toolTip(file, QLocale(QLocale::English, QLocale::UnitedStates));
    const QStringList lines = english.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("Shot 1.png"));
    EXPECT_EQ(QString(lines[1]).replace(QChar(0x202f), QLatin1Char(' ')),
              QStringLiteral("Dec 10, 2026 7:55 PM"));
    const QString german =
        RecentTileModel::toolTip(file, QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(german.split(QLatin1Char('\n')).value(1), QStringLiteral("10. Dez. 2026 19:55"));
}

TEST_F(Strip, AssistiveTechnologyReadsEachTileAsAButtonWithItsNameAndLength) {
    make({recentFile("/c/a.png", Kind::image), recentFile("/c/clip.mp4", Kind::video)}, 800,
         QStringLiteral("/c/clip.mp4"));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&row());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    ASSERT_EQ(list->childCount(), 2);
    QAccessibleInterface* image = list->child(0);
    QAccessibleInterface* video = list->child(1);
    EXPECT_EQ(image->role(), QAccessible::Button);
    EXPECT_EQ(image->text(QAccessible::Name), QStringLiteral("a.png"));
    EXPECT_EQ(video->text(QAccessible::Name), QStringLiteral("clip.mp4"));
    EXPECT_FALSE(image->state().selected);
    EXPECT_TRUE(video->state().selected);
    EXPECT_EQ(list->indexOfChild(video), 1);
    EXPECT_EQ(list->childAt(video->rect().center().x(), video->rect().center().y()), video);

    EXPECT_EQ(video->text(QAccessible::Value), QString());
    ASSERT_TRUE(library.answerThumbnail("/c/clip.mp4", QImage()));
    ASSERT_TRUE(library.answerDuration("/c/clip.mp4", 65.4));
    EXPECT_EQ(video->text(QAccessible::Value), QStringLiteral("1:05"));

    library.setFiles({recentFile("/c/a.png", Kind::image)});
    EXPECT_EQ(list->childCount(), 1);
    EXPECT_FALSE(video->isValid()) << "a tile gone from the list";
}

TEST_F(Strip, AWheelTurnedEitherWayScrollsTheRowSideways) {
    make(files(20), 400);
    QScrollBar* bar = row().horizontalScrollBar();
    const QPoint at = centreOf(0);
    const auto wheel = [&](QPoint pixels, QPoint angle) {
        QWheelEvent event(at, row().viewport()->mapToGlobal(at), pixels, angle, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(row().viewport(), &event);
        return bar->value();
    };
    EXPECT_GT(wheel({}, {0, -120}), 0) << "a notch down goes on";
    const int after = bar->value();
    EXPECT_EQ(wheel({0, 50}, {0, 0}), after - 50) << "a touchpad's pixels as they come";
    EXPECT_EQ(wheel({}, {240, 0}), 0) << "back, and no further than the start";
}

} // namespace
