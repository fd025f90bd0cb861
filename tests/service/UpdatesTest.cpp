#include "service/Updates.h"
#include "app/AlertPresenter.h"
#include "support/EventLoop.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <QSettings>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

using service::UpdateManifest;
using testsupport::LocalHttpServer;

const QByteArray goodManifest =
    R"({"version":"2.0","build":20,"download":"https://vexlin.app/d/2.0.tar.gz"})";

// An alert presenter that records every alert and answers with a fixed button.
class RecordingAlerts : public app::AlertPresenter {
public:
    int run(const app::Alert& alert) override {
        shown.append(alert);
        return answer;
    }
    QList<app::Alert> shown;
    int answer = -1;
};

class FakeClock : public service::UpdateClock {
public:
    qint64 elapsedMs() const override { return elapsed; }
    QDateTime now() const override { return start.addMSecs(elapsed); }
    void wakeAt(qint64 atMs, std::function<void()> fire) override {
        wakeTime = atMs;
        pending = std::move(fire);
    }
    void cancelWake() override { pending = nullptr; }
    // Moves time on, firing wake-ups that fall due, each after the network
    // work it started has settled.
    void advanceTo(qint64 ms) {
        while (pending && wakeTime <= ms) {
            elapsed = wakeTime;
            auto fire = std::exchange(pending, nullptr);
            fire();
            testsupport::waitFor(5000, [this] { return pending != nullptr; });
        }
        elapsed = ms;
    }
    QDateTime start = QDateTime(QDate(2025, 3, 1), QTime(9, 0), Qt::UTC);
    qint64 elapsed = 0;
    qint64 wakeTime = 0;
    std::function<void()> pending;
};

struct Fixture {
    testsupport::TempDir dir;
    QString settings = dir.file(QStringLiteral("VexlinCapture.conf"));
    LocalHttpServer server;
    FakeClock clock;
    RecordingAlerts alerts;
    app::ScopedAlertPresenter scoped{alerts};
    QList<UpdateManifest> installed;
    std::unique_ptr<service::Updates> updates;

    explicit Fixture(QStringList arguments = {},
                     std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        QSettings(settings, QSettings::IniFormat)
            .setValue(QStringLiteral("serviceBaseURL"), server.base().toString());
        updates = std::make_unique<service::Updates>(service::Updates::Environment{
            .settingsPath = settings,
            .clock = &clock,
            .currentBuild = 10,
            .os = {6, 1, 0},
            .arguments = arguments,
            .install = [this](const UpdateManifest& m) { installed.append(m); },
            .openUrl = {},
            .requestTimeout = timeout,
        });
    }
    void serve(const QByteArray& body, bool critical = false) {
        QByteArray document = body;
        if (critical) {
            document.replace("}", R"(,"critical":true})");
        }
        server.respond(service::Updates::primaryPath, {200, document, {}});
    }
    void checkNow(bool userInitiated) {
        bool done = false;
        updates->check(userInitiated, [&] { done = true; });
        ASSERT_TRUE(testsupport::waitFor(10000, [&] { return done; }));
    }
    qsizetype fetches() const { return server.requestsFor(service::Updates::primaryPath).size(); }
};

TEST(UpdateManifest, StrictDecoding) {
    struct Case {
        const char* body;
        bool decodes;
    };
    const Case cases[] = {
        {R"({"version":"2.0","build":20,"download":"https://vexlin.app/a.tar.gz"})", true},
        {R"({"version":"2.0","build":20,"download":"https://vexlin.app/a","critical":null,"x":[1]})",
         true},
        {R"({"version":"2.0","build":20,"download":"https://vexlin.app/a","file":null})", true},
        {R"({"version":"2.0","build":1.5,"download":"https://vexlin.app/a"})", false},
        {R"({"version":"2.0","build":"20","download":"https://vexlin.app/a"})", false},
        {R"({"version":2,"build":20,"download":"https://vexlin.app/a"})", false},
        {R"({"version":"2.0","build":20})", false},
        {R"({"version":"2.0","build":20,"download":"file:///etc/passwd"})", false},
        {R"({"version":"2.0","build":20,"download":"https://vexlin.app/a","file":"file:///x"})",
         false},
        {R"({"version":"2.0","build":20,"download":"https://vexlin.app/a","notes":"javascript:x"})",
         false},
        {R"({"version":"2.0","build":20,"download":"http://vexlin.app/a"})", false},
        {R"({"version":"2.0","build":20,"download":"https://vexlin.app/a","critical":"yes"})",
         false},
        {R"({"version":"2.0","build":20,"download":"https://vexlin.app/a","minimum_os":6})", false},
        {R"([1,2])", false},
        {"not json", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(service::decodeManifest(c.body).has_value(), c.decodes) << c.body;
    }
    const auto critical = service::decodeManifest(
        R"({"version":"2.0","build":20,"download":"https://vexlin.app/a","critical":true})");
    ASSERT_TRUE(critical);
    EXPECT_TRUE(critical->critical);
    QByteArray padded = goodManifest;
    padded.insert(1, QByteArray(64 * 1024, ' '));
    EXPECT_FALSE(service::decodeManifest(padded).has_value());
}

TEST(UpdateManifest, Applicability) {
    struct Case {
        qint64 build;
        const char* minimum; // nullptr: none
        service::OsVersion os;
        bool applies;
    };
    const Case cases[] = {
        {11, nullptr, {6, 1, 0}, true}, {10, nullptr, {6, 1, 0}, false},
        {9, nullptr, {6, 1, 0}, false}, {11, "6.2", {6, 1, 9}, false},
        {11, "6.2", {6, 2, 0}, true},   {11, "6.2", {7, 0, 0}, true},
        {11, "6", {6, 9, 3}, true},     {11, "6..2", {6, 2, 0}, true},
        {11, "word", {0, 0, 0}, true},  {11, "6.2.1.9", {6, 2, 1}, true},
    };
    for (const Case& c : cases) {
        UpdateManifest manifest;
        manifest.build = c.build;
        manifest.download = QUrl(QStringLiteral("https://a/b"));
        if (c.minimum) {
            manifest.minimumOS = QString::fromUtf8(c.minimum);
        }
        EXPECT_EQ(manifest.isApplicable(10, c.os), c.applies) << c.build << " " << c.minimum;
    }
    struct Build {
        const char* text;
        qint64 value;
    };
    const Build builds[] = {{"42", 42},
                            {"+7", 7},
                            {"-3", -3},
                            {"1.2", 0},
                            {"", 0},
                            {"x", 0},
                            {"99999999999999999999", 0}};
    for (const Build& b : builds) {
        EXPECT_EQ(service::parseBuildNumber(QString::fromUtf8(b.text)), b.value) << b.text;
    }
}

TEST(UpdateManifest, AnnouncementRecordRoundTripsInUtc) {
    testsupport::TempDir dir;
    const QString file = dir.file(QStringLiteral("s.conf"));
    EXPECT_EQ(service::UpdateAnnouncement::load(file), service::UpdateAnnouncement{});
    const QDateTime date(QDate(2025, 3, 1), QTime(9, 0, 5), Qt::UTC);
    service::UpdateAnnouncement record{20, service::UpdateAnnouncement::CriticalAlert{20, date}};
    record.save(file);
    EXPECT_EQ(QSettings(file, QSettings::IniFormat)
                  .value(QStringLiteral("criticalUpdateAlertDate"))
                  .toString(),
              QStringLiteral("2025-03-01T09:00:05Z"));
    EXPECT_EQ(service::UpdateAnnouncement::load(file), record);
    record.criticalAlert.reset();
    record.save(file);
    EXPECT_FALSE(
        QSettings(file, QSettings::IniFormat).contains(QStringLiteral("criticalUpdateAlertBuild")));
    EXPECT_EQ(service::UpdateAnnouncement::load(file), record);
}

TEST(UpdatesFetch, EveryPrimaryFailureFallsBackOnce) {
    struct Case {
        const char* name;
        LocalHttpServer::Response primary;
    };
    LocalHttpServer::Response trickle;
    trickle.generated = 1'000'000;
    trickle.trickleMs = 100;
    const Case cases[] = {
        {"404", {404, goodManifest, {}}},
        {"201", {201, goodManifest, {}}},
        {"304", {304, {}, {}}},
        {"500", {500, goodManifest, {}}},
        {"no download", {200, R"({"version":"2.0","build":20})", {}}},
        {"file download", {200, R"({"version":"2.0","build":20,"download":"file:///etc"})", {}}},
        {"1 MiB", {200, goodManifest + QByteArray(1024 * 1024, ' '), {}}},
        {"refused", {200, {}, {}, true}},
        // A byte every 100 ms never falls silent for the transfer timeout.
        {"trickling past the deadline", trickle},
    };
    const QByteArray fallbackBody =
        R"({"version":"3.0","build":30,"download":"https://vexlin.app/d/3.0.tar.gz"})";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f({}, std::chrono::milliseconds(1500));
        f.server.respond(service::Updates::primaryPath, c.primary);
        f.server.respond(service::Updates::fallbackPath, {200, fallbackBody, {}});
        std::optional<std::optional<UpdateManifest>> got;
        f.updates->fetchManifest([&](std::optional<UpdateManifest> m) { got = m; });
        ASSERT_TRUE(testsupport::waitFor(10000, [&] { return got.has_value(); }));
        ASSERT_TRUE(got->has_value());
        EXPECT_EQ((*got)->build, 30);
        EXPECT_EQ(f.server.requestsFor(service::Updates::fallbackPath).size(), 1);
        // Qt's transport sends a request once more by itself when the server
        // drops the connection without answering; that is not a fallback.
        EXPECT_EQ(f.server.requestsFor(service::Updates::primaryPath).size(),
                  c.primary.drop ? 2 : 1);
        for (const auto& request : f.server.requests()) {
            EXPECT_EQ(request.method, "GET");
            EXPECT_EQ(request.headers.value("user-agent"), "Vexlin");
        }
    }
}

TEST(UpdatesSchedule, TheInstallFlagCountsAloneOrWithAYes) {
    const QString flag = QStringLiteral("-VexlinInstallUpdateNow");
    const struct {
        QStringList arguments;
        bool requested;
    } cases[] = {
        {{}, false},
        {{flag}, true},
        {{flag, "--other"}, true},
        {{flag, "YES"}, true},
        {{flag, "true"}, true},
        {{flag, "1"}, true},
        {{flag, "NO"}, false},
        {{flag, "0"}, false},
        {{flag, "false"}, false},
        {{"-VexlinInstallUpdateNowish"}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(service::Updates::installNowRequested(c.arguments), c.requested)
            << c.arguments.join(' ').toStdString();
    }
}

TEST(UpdatesSchedule, FirstCheckAfterAMinuteOrFiveSecondsWithTheInstallFlag) {
    for (const QStringList& arguments :
         {QStringList{}, QStringList{QStringLiteral("-VexlinInstallUpdateNow")},
          QStringList{QStringLiteral("-VexlinInstallUpdateNow"), QStringLiteral("YES")}}) {
        const bool flag = !arguments.isEmpty();
        Fixture f(arguments);
        f.serve(goodManifest);
        f.updates->start();
        const qint64 due = flag ? 5'000 : 60'000;
        f.clock.advanceTo(due - 1);
        EXPECT_EQ(f.fetches(), 0);
        f.clock.advanceTo(due);
        EXPECT_EQ(f.fetches(), 1);
        EXPECT_EQ(f.installed.size(), flag ? 1 : 0);
        EXPECT_EQ(f.alerts.shown.size(), flag ? 0 : 1);
    }
}

TEST(UpdatesSchedule, OrdinaryReleaseAnnouncedOnceByScheduleAndAtEveryMenuCheck) {
    Fixture f;
    f.serve(goodManifest);
    f.updates->start();
    f.clock.advanceTo(60'000);
    ASSERT_EQ(f.alerts.shown.size(), 1);
    EXPECT_EQ(f.alerts.shown[0].buttons, (QStringList{"Update", "Later"}));
    EXPECT_EQ(f.alerts.shown[0].escapeButton, 1);
    f.clock.advanceTo(60'000 + 86'400'000); // the next day's check
    EXPECT_EQ(f.fetches(), 2);
    EXPECT_EQ(f.alerts.shown.size(), 1);
    f.checkNow(true);
    f.checkNow(true);
    EXPECT_EQ(f.alerts.shown.size(), 3);
    ASSERT_TRUE(f.updates->available());
    EXPECT_EQ(f.updates->available()->build, 20);
}

TEST(UpdatesSchedule, CriticalReleaseRemindsAfterFourHoursNotSooner) {
    Fixture f;
    f.serve(goodManifest, true);
    f.updates->start();
    f.clock.advanceTo(60'000);
    ASSERT_EQ(f.alerts.shown.size(), 1);
    EXPECT_TRUE(f.alerts.shown[0].critical);
    const auto alertedAt = [&](qint64 secondsBeforeTick, qint64 tickMs) {
        service::UpdateAnnouncement record = service::UpdateAnnouncement::load(f.settings);
        record.criticalAlert->date = f.clock.start.addMSecs(tickMs).addSecs(-secondsBeforeTick);
        record.save(f.settings);
    };
    alertedAt(14'399, 3'660'000);
    f.clock.advanceTo(3'660'000);
    EXPECT_EQ(f.alerts.shown.size(), 1);
    alertedAt(14'400, 7'260'000);
    f.clock.advanceTo(7'260'000);
    EXPECT_EQ(f.alerts.shown.size(), 2);
    EXPECT_EQ(f.fetches(), 1);
}

TEST(UpdatesSchedule, AutomaticChecksOffMeansNoScheduledFetch) {
    Fixture f;
    f.serve(goodManifest);
    f.updates->setAutomaticChecks(false);
    f.updates->start();
    f.clock.advanceTo(3LL * 86'400'000);
    EXPECT_EQ(f.fetches(), 0);
    f.checkNow(true);
    EXPECT_EQ(f.fetches(), 1);
}

TEST(UpdatesSchedule, MenuCheckWithBothEndpointsDownKeepsTheReleaseAndSaysSo) {
    Fixture f;
    f.serve(goodManifest);
    f.checkNow(true);
    ASSERT_TRUE(f.updates->available());
    f.server.respond(service::Updates::primaryPath, {500, {}, {}});
    f.server.respond(service::Updates::fallbackPath, {200, {}, {}, true});
    f.checkNow(true);
    ASSERT_EQ(f.alerts.shown.size(), 2);
    EXPECT_EQ(f.alerts.shown.last().message,
              QStringLiteral("Vexlin Capture could not check for updates"));
    EXPECT_TRUE(f.alerts.shown.last().informativeText.startsWith(QStringLiteral("127.0.0.1")));
    EXPECT_TRUE(f.updates->available());

    f.serve(R"({"version":"1.0","build":10,"download":"https://vexlin.app/d"})");
    f.checkNow(true);
    EXPECT_EQ(f.alerts.shown.last().message, QStringLiteral("Vexlin Capture is up to date"));
    EXPECT_FALSE(f.updates->available());
}

} // namespace
