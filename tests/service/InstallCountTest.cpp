#include "service/InstallCount.h"
#include "service/ServiceAddress.h"
#include "service/StoredValue.h"
#include "support/EventLoop.h"
#include "support/LocalHttpServer.h"
#include "support/ScratchMount.h"
#include "support/TempDir.h"

#include <QDir>
#include <QSettings>
#include <gtest/gtest.h>

namespace {

testsupport::LocalHttpServer::Response answer(int status, const QByteArray& body = {}) {
    testsupport::LocalHttpServer::Response response;
    response.status = status;
    response.body = body;
    return response;
}

using service::InstallCount;
using testsupport::LocalHttpServer;

constexpr char machineId[] = "0123456789abcdef0123456789abcdef";
constexpr char numberOfMachineId[] = "3f491692-b592-4e76-afb0-7600cf7edf4c";

QDateTime utc(const char* text) {
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate).toUTC();
}

// A settings file pointing at a server of the test's own and a machine-id
// file; the count runs over real HTTP.
class CountFixture : public ::testing::Test {
protected:
    CountFixture() {
        setBase(server.base().toString());
        testsupport::writeAll(idPath, QByteArray(machineId) + '\n');
        count.setMachineIdFiles({idPath});
        count.setVersion(QStringLiteral("2.3.1"));
    }

    void setBase(const QString& base) {
        QSettings(settingsPath, QSettings::IniFormat).setValue("serviceBaseURL", base);
    }
    QString stored(const char* key) const {
        return service::storedText(settingsPath, QLatin1String(key)).value_or(QString());
    }
    void countAt(const QDateTime& now) {
        bool finished = false;
        count.countIfNeeded(now, [&] { finished = true; });
        ASSERT_TRUE(testsupport::waitFor(10'000, [&] { return finished; }));
    }

    testsupport::TempDir dir;
    LocalHttpServer server;
    QString settingsPath = dir.file(QStringLiteral("VexlinCapture.conf"));
    QString idPath = dir.file(QStringLiteral("machine-id"));
    InstallCount count{settingsPath};
};

TEST_F(CountFixture, PostsTheCountOnceAUtcDayWithItsSortedBody) {
    LocalHttpServer::Response withCookie = answer(201);
    withCookie.headers = {{"Set-Cookie", "visitor=1; Path=/"}};
    server.respond("/api/v1/installs", withCookie);

    countAt(utc("2026-03-01T08:00:00Z"));
    countAt(utc("2026-03-01T23:59:59Z"));
    ASSERT_EQ(server.requests().size(), 1);
    const LocalHttpServer::Request& request = server.requests().first();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/api/v1/installs");
    EXPECT_EQ(request.headers.value("content-type"), "application/json");
    const QByteArray expected = QByteArray(R"({"install":")") + numberOfMachineId + R"(","os":")" +
                                service::operatingSystemVersionString().toUtf8() +
                                R"(","platform":"linux","product":"vexlin","version":"2.3.1"})";
    EXPECT_EQ(request.body, expected);
    EXPECT_EQ(stored("installationCountedDay"), "2026-03-01");

    // The next UTC day counts again, and nothing of the first answer (its
    // cookie) goes with it.
    countAt(utc("2026-03-02T00:00:00Z"));
    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_FALSE(server.requests().last().headers.contains("cookie"));
}

TEST_F(CountFixture, AnyAnswerMarksTheDayAndNoAnswerDoesNot) {
    struct Case {
        const char* name;
        int status;
        bool refused;
        QByteArray body;
        bool counted;
    };
    const Case cases[] = {
        {"created", 201, false, {}, true},
        {"server error", 500, false, "oops", true},
        {"not found", 404, false, {}, true},
        {"big answer, never read", 200, false, QByteArray(4 << 20, 'x'), true},
        {"refused connection", 0, true, {}, false},
        // The status line a byte every 100 ms: never silent for the transfer
        // timeout, cut at the deadline before it is whole.
        {"trickling past the deadline", -1, false, {}, false},
        // Not HTTP: no answer, and the count is not posted again.
        {"not HTTP", -2, false, {}, false},
    };
    // The deadline is the request's time-out; shortened here.
    count.setTransport(
        [](const QNetworkRequest& request, const QByteArray& body, std::function<void(bool)> done) {
            QNetworkRequest shorter = request;
            shorter.setTransferTimeout(1500);
            InstallCount::defaultTransport(shorter, body, std::move(done));
        });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QSettings(settingsPath, QSettings::IniFormat).remove("installationCountedDay");
        if (c.refused) {
            setBase(QStringLiteral("http://127.0.0.1:%1").arg(testsupport::closedLocalPort()));
        } else if (c.status == -1) {
            setBase(server.base().toString());
            LocalHttpServer::Response trickle = answer(201);
            trickle.trickleMs = 100;
            server.respond("/api/v1/installs", trickle);
        } else if (c.status == -2) {
            setBase(server.base().toString());
            LocalHttpServer::Response garbage;
            garbage.raw = "SMTP ready\r\n\r\n";
            server.respond("/api/v1/installs", garbage);
        } else {
            setBase(server.base().toString());
            server.respond("/api/v1/installs", answer(c.status, c.body));
        }
        const qsizetype before = server.requests().size();
        countAt(utc("2026-03-01T12:00:00Z"));
        EXPECT_EQ(stored("installationCountedDay"),
                  c.counted ? QStringLiteral("2026-03-01") : QString());
        EXPECT_EQ(server.requests().size() - before, c.refused ? 0 : 1);
    }
}

TEST_F(CountFixture, ADayThatCannotBeStoredIsNotSentAgainInTheSameRun) {
    // The settings on a volume that turns read-only, which holds for root too.
    const QString volume = dir.file(QStringLiteral("volume"));
    QDir().mkpath(volume);
    std::optional<testsupport::ScratchMount> mount = testsupport::ScratchMount::make(volume, 256);
    if (!mount) {
        GTEST_SKIP() << "mounting a volume of its own needs root";
    }
    const QString settings = volume + QStringLiteral("/VexlinCapture.conf");
    QSettings(settings, QSettings::IniFormat).setValue("serviceBaseURL", server.base());
    ASSERT_TRUE(mount->makeReadOnly());
    InstallCount stuck(settings);
    stuck.setMachineIdFiles({idPath});
    server.respond("/api/v1/installs", answer(201));

    // Hourly attempts of the same day: the first is sent, the rest are not.
    for (const char* hour :
         {"2026-03-01T08:00:00Z", "2026-03-01T09:00:00Z", "2026-03-01T23:00:00Z"}) {
        bool finished = false;
        stuck.countIfNeeded(utc(hour), [&] { finished = true; });
        ASSERT_TRUE(testsupport::waitFor(10'000, [&] { return finished; }));
    }
    EXPECT_EQ(server.requests().size(), 1);
    EXPECT_EQ(service::storedText(settings, QStringLiteral("installationCountedDay")),
              std::nullopt);
    // The next day counts once more.
    bool finished = false;
    stuck.countIfNeeded(utc("2026-03-02T08:00:00Z"), [&] { finished = true; });
    ASSERT_TRUE(testsupport::waitFor(10'000, [&] { return finished; }));
    EXPECT_EQ(server.requests().size(), 2);
}

TEST_F(CountFixture, SendsNothingWhenSwitchedOffOrTheAddressIsRefused) {
    server.respond("/api/v1/installs", answer(201));
    count.setEnabled(false);
    countAt(utc("2026-03-01T12:00:00Z"));
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_FALSE(count.isEnabled());

    count.setEnabled(true);
    setBase(QStringLiteral("http://localhost:%1").arg(server.port()));
    countAt(utc("2026-03-01T12:00:00Z"));
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_EQ(stored("installationCountedDay"), QString());
}

// The schedule on a clock of the test's own: each sleep moves it on.
TEST_F(CountFixture, FirstCountAMinuteAfterStartThenHourly) {
    server.respond("/api/v1/installs", answer(201));
    QDateTime clock = utc("2026-03-01T23:59:30Z");
    QList<std::chrono::milliseconds> sleeps;
    std::function<void()> wake;
    count.setClock([&] { return clock; },
                   [&](std::chrono::milliseconds delay, std::function<void()> then) {
                       sleeps << delay;
                       wake = std::move(then);
                   });
    QSettings(settingsPath, QSettings::IniFormat).setValue("installationCountedDay", "2026-03-01");

    count.start();
    ASSERT_EQ(sleeps, QList<std::chrono::milliseconds>{std::chrono::seconds(60)});
    EXPECT_TRUE(server.requests().isEmpty());

    // 00:00:30 belongs to the new day.
    clock = clock.addSecs(60);
    wake();
    ASSERT_TRUE(testsupport::waitFor(10'000, [&] { return sleeps.size() == 2; }));
    EXPECT_EQ(sleeps.last(), std::chrono::seconds(3600));
    EXPECT_EQ(server.requests().size(), 1);
    EXPECT_EQ(stored("installationCountedDay"), "2026-03-02");

    // The hourly attempts of the same day send nothing more.
    clock = clock.addSecs(3600);
    wake();
    ASSERT_TRUE(testsupport::waitFor(10'000, [&] { return sleeps.size() == 3; }));
    EXPECT_EQ(server.requests().size(), 1);

    // A stopped schedule does nothing when its sleep ends.
    count.stop();
    wake();
    testsupport::pump(50);
    EXPECT_EQ(sleeps.size(), 3);
}

TEST_F(CountFixture, ATestProcessNeverStartsTheSchedule) {
    int sleeps = 0;
    count.setClock([] { return QDateTime::currentDateTimeUtc(); },
                   [&](std::chrono::milliseconds, std::function<void()>) { ++sleeps; });
    qputenv("XCTestConfigurationFilePath", "/dev/null");
    count.start();
    qunsetenv("XCTestConfigurationFilePath");
    EXPECT_FALSE(count.isRunning());
    EXPECT_EQ(sleeps, 0);
}

TEST(InstallationNumber, MachineIdIsUsedOnlyWhenItIs32HexDigits) {
    struct Case {
        QByteArray contents;
        bool usable;
    };
    const Case cases[] = {
        {"0123456789abcdef0123456789abcdef", true},
        {"  0123456789ABCDEF0123456789ABCDEF\n", true},
        {"0123456789abcdef0123456789abcde", false},
        {"0123456789abcdef0123456789abcdef0", false},
        {"0123456789abcdeg0123456789abcdef", false},
        {"01234567-89ab-cdef-0123-456789abcdef", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.contents.toStdString());
        const std::optional<QString> id = InstallCount::usableMachineID(c.contents);
        ASSERT_EQ(id.has_value(), c.usable);
        if (id) {
            EXPECT_EQ(InstallCount::derivedNumber("vexlin", *id), numberOfMachineId);
        }
    }
}

TEST(InstallationNumber, FallsBackToTheSecondFileThenToAStoredRandomNumber) {
    testsupport::TempDir dir;
    const QString settings = dir.file("VexlinCapture.conf");
    const QString empty = dir.file("etc-machine-id");
    const QString dbus = dir.file("dbus-machine-id");
    testsupport::writeAll(empty, "uninitialized\n");
    testsupport::writeAll(dbus, QByteArray(machineId) + '\n');
    InstallCount count(settings);
    count.setMachineIdFiles({empty, dbus});
    EXPECT_EQ(count.installationNumber(), numberOfMachineId);
    EXPECT_FALSE(QSettings(settings, QSettings::IniFormat).contains("installationNumber"));

    count.setMachineIdFiles({dir.file("missing")});
    struct Case {
        const char* stored;
        bool kept;
    };
    const Case cases[] = {
        {"6f1c2a7e-8b3d-4c5e-9f10-1a2b3c4d5e6f", true},
        {"6F1C2A7E-8B3D-4C5E-9F10-1A2B3C4D5E6F", false},
        {"6f1c2a7e-8b3d-4c5e-9f10-1a2b3c4d5e6z", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        QSettings(settings, QSettings::IniFormat).setValue("installationNumber", c.stored);
        const QString number = count.installationNumber();
        EXPECT_TRUE(InstallCount::isValidNumber(number));
        EXPECT_EQ(number == QLatin1String(c.stored), c.kept);
        // The fallback stays the same from one read to the next.
        EXPECT_EQ(count.installationNumber(), number);
    }
}

TEST(InstallationNumber, ReviewLinkHasTheSiteLanguageFolder) {
    const QUrl root("https://vexlin.app/");
    const QString number = numberOfMachineId;
    EXPECT_EQ(InstallCount::reviewURL(root, number, "pt-BR").toString(),
              "https://vexlin.app/pt-br/vexlin/review#install=" + number);
    EXPECT_EQ(InstallCount::reviewURL(root, number, "pt-PT").toString(),
              "https://vexlin.app/vexlin/review#install=" + number);
    EXPECT_EQ(InstallCount::reviewURL(root, number, "en").toString(),
              "https://vexlin.app/vexlin/review#install=" + number);
}

TEST(InstallCountDay, IsTheUtcDate) {
    EXPECT_EQ(InstallCount::dayKey(utc("2026-03-01T23:59:30Z")), "2026-03-01");
    EXPECT_EQ(InstallCount::dayKey(utc("2026-03-02T00:00:30Z")), "2026-03-02");
    // 01:30 in Berlin is still the day before in UTC.
    EXPECT_EQ(InstallCount::dayKey(QDateTime::fromString("2026-03-02T01:30:00+02:00", Qt::ISODate)),
              "2026-03-01");
}

} // namespace
