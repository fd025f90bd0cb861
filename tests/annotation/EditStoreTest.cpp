#include "annotation/EditStore.h"

#include "app/ContentKey.h"
#include "app/ImageEncoding.h"
#include "support/TempDir.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace annotation;
using testsupport::readAll;
using testsupport::writeAll;

namespace {

QByteArray png(QColor colour, int size = 8) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

EditorState marked(double x = 10) {
    EditorState state;
    state.annotations.push_back(Annotation{QUuid::createUuid(), Shape::line({x, 1}, {2, 3}),
                                           RGBA{1, 0, 0, 1}, 5, true, TextStyle::plain});
    return state;
}

app::Capture capture() {
    app::Capture c;
    c.id = QUuid::createUuid();
    c.image = QImage::fromData(png(Qt::blue));
    c.scale = 2;
    c.date = QDateTime::fromMSecsSinceEpoch(978'307'200'000 + 786'000'000'123LL, Qt::UTC);
    return c;
}

class Store : public testing::Test {
protected:
    testsupport::TempDir dir;
    EditStore store{dir.file(QStringLiteral("Edits"))};
    QDateTime now = QDateTime::fromMSecsSinceEpoch(978'307'200'000 + 800'000'000'000LL, Qt::UTC);

    // Writes an image file and saves a record for it.
    QString saveFile(const QString& name, const QByteArray& bytes, const EditorState& state,
                     std::optional<QString> previousKey = std::nullopt,
                     std::optional<QByteArray> original = png(Qt::green)) {
        const QString path = dir.file(name);
        writeAll(path, bytes);
        store.save(EditStore::Save{capture(), original, state, bytes, path, previousKey, now});
        return app::contentKey(bytes);
    }
    QString edit(const QString& key) const {
        return store.recordFolder(key) + QStringLiteral("/edit.json");
    }
    QString original(const QString& key) const {
        return store.recordFolder(key) + QStringLiteral("/original");
    }
};

TEST_F(Store, SavesARecordNamedByTheFilesSha256) {
    const QByteArray bytes = png(Qt::red);
    const QString key = saveFile(QStringLiteral("shot.png"), bytes, marked());
    EXPECT_EQ(key.size(), 64);
    EXPECT_EQ(readAll(original(key)), png(Qt::green));
    const QByteArray json = readAll(edit(key));
    const QByteArray path = dir.file(QStringLiteral("shot.png")).toUtf8().replace("/", "\\/");
    EXPECT_TRUE(json.startsWith(R"({"version":1,"scale":2,"captured":786000000.123,"state":{)"))
        << json.toStdString();
    EXPECT_TRUE(json.endsWith(R"(},"path":")" + path + R"(","saved":800000000})"))
        << json.toStdString();

    const std::optional<EditStore::Edit> loaded = store.load(key);
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->state.annotations.size(), 1u);
    EXPECT_EQ(loaded->state.annotations[0].shape, Shape::line({10, 1}, {2, 3}));
    EXPECT_EQ(loaded->capture.scale, 2);
    EXPECT_EQ(loaded->capture.date, capture().date);
    EXPECT_EQ(loaded->capture.image.pixelColor(0, 0), QColor(Qt::green));
    EXPECT_FALSE(loaded->capture.filePath);
}

TEST_F(Store, WithoutOriginalBytesTheCaptureIsEncodedAsPng) {
    const QString key =
        saveFile(QStringLiteral("a.png"), png(Qt::red), marked(), std::nullopt, std::nullopt);
    const QImage image = QImage::fromData(readAll(original(key)), "PNG");
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_NEAR(image.dotsPerMeterX(), 72 * 2 / 0.0254, 1);
    // The same bytes as every other PNG the program writes of that image.
    EXPECT_EQ(readAll(original(key)),
              *app::encodeImage(capture().image, app::ImageFormat::png, capture().scale));
}

TEST_F(Store, DefaultStateWritesNothing) {
    saveFile(QStringLiteral("a.png"), png(Qt::red), EditorState{});
    EXPECT_FALSE(QFileInfo::exists(store.folder()));
}

TEST_F(Store, ReSavingMovesTheRecordAndKeepsTheFirstOriginal) {
    const QString first = saveFile(QStringLiteral("a.png"), png(Qt::red), marked(1));
    const QString second =
        saveFile(QStringLiteral("a.png"), png(Qt::yellow), marked(2), first, png(Qt::black));
    EXPECT_NE(first, second);
    EXPECT_FALSE(QFileInfo::exists(store.recordFolder(first)));
    EXPECT_EQ(readAll(original(second)), png(Qt::green));
    EXPECT_EQ(store.load(second)->state.annotations[0].shape, Shape::line({2, 1}, {2, 3}));
    // Back to no edits: the record of the earlier content goes.
    const QString third = saveFile(QStringLiteral("a.png"), png(Qt::cyan), EditorState{}, second);
    EXPECT_FALSE(QFileInfo::exists(store.recordFolder(second)));
    EXPECT_FALSE(QFileInfo::exists(store.recordFolder(third)));
}

TEST_F(Store, AnExistingOriginalIsNeverReplaced) {
    const QString key = saveFile(QStringLiteral("a.png"), png(Qt::red), marked(1));
    saveFile(QStringLiteral("b.png"), png(Qt::red), marked(5), std::nullopt, png(Qt::black));
    EXPECT_EQ(readAll(original(key)), png(Qt::green));
    EXPECT_EQ(store.load(key)->state.annotations[0].shape, Shape::line({5, 1}, {2, 3}));
}

TEST_F(Store, BadRecordsLoadAsNothingAndDeleteNothing) {
    const QString key = saveFile(QStringLiteral("a.png"), png(Qt::red), marked());
    const QByteArray good = readAll(edit(key));
    const QByteArray cases[] = {
        good.left(good.size() / 2),
        "not json",
        QByteArray(good).replace(R"("version":1)", R"("version":2)"),
        QByteArray(good).replace(R"("scale":2,)", ""),
        QByteArray(good).replace(R"("scale":2)", R"("scale":"2")"),
        QByteArray(good).replace(R"("padding":48)", R"("padding":1e999)"),
    };
    for (const QByteArray& bad : cases) {
        writeAll(edit(key), bad);
        EXPECT_FALSE(store.load(key)) << bad.toStdString();
        EXPECT_TRUE(QFileInfo::exists(original(key)));
        EXPECT_TRUE(QFileInfo::exists(dir.file(QStringLiteral("a.png"))));
    }
    // Version 0 is read; a scale below 1 reads as 1, a huge one as the cap.
    writeAll(edit(key),
             QByteArray(good).replace(R"("version":1,"scale":2)", R"("version":0,"scale":0.5)"));
    EXPECT_EQ(store.load(key)->capture.scale, 1);
    writeAll(edit(key), QByteArray(good).replace(R"("scale":2)", R"("scale":1e300)"));
    EXPECT_EQ(store.load(key)->capture.scale, EditStore::maxScale);
    // A missing or unreadable original: nothing to load.
    writeAll(edit(key), good);
    writeAll(original(key), "garbage");
    EXPECT_FALSE(store.load(key));
    QFile::remove(original(key));
    EXPECT_FALSE(store.load(key));
    EXPECT_FALSE(store.load(QStringLiteral("0000")));
}

TEST_F(Store, DatesAreSecondsSince2001) {
    EXPECT_EQ(
        EditStore::referenceSeconds(QDateTime(QDate(2001, 1, 1), QTime(0, 0, 1, 500), Qt::UTC)),
        1.5);
    EXPECT_EQ(EditStore::dateFromReferenceSeconds(-1.5),
              QDateTime(QDate(2000, 12, 31), QTime(23, 59, 58, 500), Qt::UTC));
    EXPECT_TRUE(EditStore::dateFromReferenceSeconds(1e300).isValid());
}

TEST_F(Store, PruneRemovesWhatTheRulesSayAndKeepsTheRest) {
    const qint64 day = 86400;
    auto recordAt = [&](const QString& name, qint64 ageDays, bool keepFile, bool changeFile) {
        const QByteArray bytes = png(
            QColor::fromHsv(static_cast<int>(name.size() * 40 % 360), 255, 255), name.size() + 4);
        const QString key = saveFile(name, bytes, marked());
        // Rewrite "saved" as if the record were last written that long ago.
        QByteArray json = readAll(edit(key));
        const double saved = EditStore::referenceSeconds(now) - static_cast<double>(ageDays * day);
        json.replace(R"("saved":800000000)", "\"saved\":" + QByteArray::number(saved, 'f', 0));
        writeAll(edit(key), json);
        if (!keepFile) {
            QFile::remove(dir.file(name));
        } else if (changeFile) {
            writeAll(dir.file(name), "changed");
        }
        return key;
    };
    const QString recentGone = recordAt(QStringLiteral("a.png"), 29, false, false);
    const QString oldGone = recordAt(QStringLiteral("bb.png"), 31, false, false);
    const QString ancientKept = recordAt(QStringLiteral("ccc.png"), 400, true, false);
    const QString oldChanged = recordAt(QStringLiteral("dddd.png"), 31, true, true);
    const QString stray = store.folder() + QStringLiteral("/stray.txt");
    writeAll(stray, "x");
    store.prune(now);
    EXPECT_TRUE(QFileInfo::exists(store.recordFolder(recentGone)));
    EXPECT_FALSE(QFileInfo::exists(store.recordFolder(oldGone)));
    EXPECT_TRUE(QFileInfo::exists(store.recordFolder(ancientKept)));
    EXPECT_FALSE(QFileInfo::exists(store.recordFolder(oldChanged)));
    EXPECT_TRUE(QFileInfo::exists(stray)) << "created just now";
    // Thirty days on, the stray file (no readable record) goes too.
    store.prune(QDateTime::currentDateTimeUtc().addDays(31));
    EXPECT_FALSE(QFileInfo::exists(stray));
    EXPECT_TRUE(QFileInfo::exists(store.recordFolder(ancientKept)));
}

TEST_F(Store, PruneReadsOnlyRegularFilesOfBoundedSize) {
    const QDateTime today = QDateTime::currentDateTimeUtc();
    // A record last saved 31 days ago whose path names `target`.
    auto staleRecordFor = [&](const QString& name, const QString& target) {
        const QString key = saveFile(name, png(Qt::red, name.size() + 4), marked());
        std::optional<EditStore::Record> record = EditStore::decodeRecord(readAll(edit(key)));
        EXPECT_TRUE(record);
        record->path = target;
        record->saved = today.addDays(-31);
        writeAll(edit(key), *EditStore::encodeRecord(*record));
        return key;
    };
    const QString fifo = dir.file(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString zeroLink = dir.file(QStringLiteral("zero"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zeroLink));

    // Records that name what no save writes: judged stale, nothing read.
    const QStringList hostileTargets = {QStringLiteral("/dev/zero"), fifo, zeroLink};
    QStringList hostile;
    for (const QString& target : hostileTargets) {
        hostile << staleRecordFor(QStringLiteral("%1.png").arg(hostile.size()), target);
    }
    // Record folders whose edit.json cannot be a record: skipped while young.
    const auto plantFolder = [&](const QString& name) {
        const QString folder = store.recordFolder(name);
        EXPECT_TRUE(QDir().mkpath(folder));
        return folder + QStringLiteral("/edit.json");
    };
    const QString fifoRecord = plantFolder(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifoRecord).constData(), 0600), 0);
    QFile giant(plantFolder(QStringLiteral("giant")));
    ASSERT_TRUE(giant.open(QIODevice::WriteOnly));
    ASSERT_TRUE(giant.resize(100 << 20)); // sparse: no disk used
    giant.close();
    const QString linkedRecord = plantFolder(QStringLiteral("linked"));
    ASSERT_TRUE(QFile::link(edit(hostile[0]), linkedRecord));
    // A record that must survive: its file is unchanged.
    const QString kept = saveFile(QStringLiteral("kept.png"), png(Qt::blue, 20), marked());

    bool finished = false;
    store.scheduleCleanup(std::chrono::milliseconds(0), [&] { finished = true; });
    // A guard against a pass that hangs, not a measure of its speed.
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, 20000)) << "the prune pass hangs";
    for (qsizetype i = 0; i < hostile.size(); ++i) {
        EXPECT_FALSE(QFileInfo::exists(store.recordFolder(hostile[i])))
            << hostileTargets[i].toStdString();
    }
    for (const char* name : {"fifo", "giant", "linked"}) {
        EXPECT_TRUE(QFileInfo::exists(store.recordFolder(QString::fromLatin1(name)))) << name;
    }
    EXPECT_TRUE(QFileInfo::exists(store.recordFolder(kept)));

    store.prune(today.addDays(31));
    for (const char* name : {"fifo", "giant", "linked"}) {
        EXPECT_FALSE(QFileInfo::exists(store.recordFolder(QString::fromLatin1(name)))) << name;
    }
    EXPECT_TRUE(QFileInfo::exists(store.recordFolder(kept)));
    EXPECT_TRUE(QFileInfo::exists(fifo));
}

TEST(EditStoreFiles, ReadOnlyRegularFilesWithinTheLimit) {
    testsupport::TempDir dir;
    const QString file = dir.file(QStringLiteral("file"));
    writeAll(file, "12345678");
    const QString link = dir.file(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(file, link));
    const QString fifo = dir.file(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    struct Case {
        QString path;
        qint64 limit;
        std::optional<QByteArray> expected;
    };
    const Case cases[] = {
        {file, 8, QByteArray("12345678")},
        {file, 7, std::nullopt},
        {link, 8, std::nullopt},
        {fifo, 8, std::nullopt},
        {dir.path(), 8, std::nullopt},
        {QStringLiteral("/dev/zero"), 8, std::nullopt},
        {dir.file(QStringLiteral("missing")), 8, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EditStore::readRegularFile(c.path, c.limit), c.expected)
            << c.path.toStdString() << " " << c.limit;
        EXPECT_EQ(EditStore::contentKeyOfRegularFile(c.path, c.limit),
                  c.expected ? std::optional(app::contentKey(*c.expected)) : std::nullopt)
            << c.path.toStdString() << " " << c.limit;
    }
    // Larger than one read: the key covers every byte.
    const QByteArray big = QByteArray(3 << 20, 'x') + "end";
    writeAll(file, big);
    EXPECT_EQ(EditStore::contentKeyOfRegularFile(file, big.size()), app::contentKey(big));
}

TEST_F(Store, CleanupRunsInTheBackgroundAfterItsDelayAndRemoveAllEmptiesTheStore) {
    EditStore missing(dir.file(QStringLiteral("none")));
    bool ranMissing = false;
    missing.scheduleCleanup(std::chrono::milliseconds(0), [&] { ranMissing = true; });

    const QString key = saveFile(QStringLiteral("a.png"), png(Qt::red), marked());
    QFile::remove(dir.file(QStringLiteral("a.png")));
    QByteArray json = readAll(edit(key));
    json.replace(R"("saved":800000000)", R"("saved":0)");
    writeAll(edit(key), json);
    bool finished = false;
    store.scheduleCleanup(std::chrono::milliseconds(10), [&] { finished = true; });
    EXPECT_TRUE(QFileInfo::exists(store.recordFolder(key)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return finished; }, 5000));
    EXPECT_FALSE(QFileInfo::exists(store.recordFolder(key)));
    EXPECT_FALSE(ranMissing);

    saveFile(QStringLiteral("b.png"), png(Qt::red), marked());
    store.removeAll();
    EXPECT_FALSE(QFileInfo::exists(store.folder()));
    store.removeAll();
}

TEST(EditStoreShared, LivesUnderTheDataFolder) {
    EXPECT_TRUE(EditStore::shared().folder().endsWith(QStringLiteral("/Vexlin/Edits")));
}

} // namespace
