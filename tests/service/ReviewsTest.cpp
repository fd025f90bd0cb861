#include "service/Reviews.h"
#include "service/InstallCount.h"
#include "service/ReviewPost.h"
#include "service/ReviewWindow.h"
#include "service/ServiceAddress.h"
#include "service/StoredValue.h"
#include "support/EventLoop.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include "app/AppPresence.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkRequest>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

namespace {

testsupport::LocalHttpServer::Response answer(int status, const QByteArray& body = {}) {
    testsupport::LocalHttpServer::Response response;
    response.status = status;
    response.body = body;
    return response;
}

using service::Reviews;
using service::ReviewPost::Field;
using service::ReviewPost::Outcome;
using Kind = service::ReviewPost::Outcome::Kind;
using testsupport::LocalHttpServer;

const QString goodText = QStringLiteral("Fast and tidy, does what it says.");

// A review model over a settings file of its own, sending to a server of the
// test's own.
struct ReviewFixture {
    ReviewFixture() {
        QSettings(settingsPath, QSettings::IniFormat).setValue("serviceBaseURL", server.base());
        testsupport::writeAll(idPath, "0123456789abcdef0123456789abcdef\n");
        count.setMachineIdFiles({idPath});
        reviews.setVersion(QStringLiteral("2.3.1"));
        reviews.setLanguageSource([] { return QStringLiteral("de"); });
    }
    void fill() {
        reviews.setRating(4);
        reviews.setName(QStringLiteral("Ann"));
        reviews.setText(goodText);
    }
    void sendAndWait() {
        reviews.send();
        ASSERT_TRUE(testsupport::waitFor(
            10'000, [&] { return reviews.state().kind != Reviews::State::Kind::sending; }));
    }
    bool storedSent() const {
        return service::storedBool(settingsPath, "reviewSent").value_or(false);
    }

    testsupport::TempDir dir;
    LocalHttpServer server;
    QString settingsPath = dir.file(QStringLiteral("VexlinCapture.conf"));
    QString idPath = dir.file(QStringLiteral("machine-id"));
    service::InstallCount count{settingsPath};
    Reviews reviews{settingsPath, &count};
};

TEST(ReviewSend, EachAnswerBecomesItsOutcomeAndMessage) {
    struct Case {
        const char* name;
        int status; // 0: the connection is refused
        QByteArray body;
        Reviews::State state;
        const char* messagePart;
    };
    const QByteArray longRefusal =
        R"({"field":"lang","padding":")" + QByteArray(70 * 1024, 'x') + R"("})";
    const Case cases[] = {
        {"201", 201, {}, Reviews::State::thanks(false), nullptr},
        {"204", 204, {}, Reviews::State::problem(Outcome::of(Kind::failed)), "could not be sent"},
        {"400 lang", 400, R"({"field":"lang"})",
         Reviews::State::problem(Outcome::invalid(Field::lang)), "(lang)"},
        {"400 html", 400, "<html><body>Bad Request</body></html>",
         Reviews::State::problem(Outcome::invalid(std::nullopt)), "(?)"},
        {"400 unknown field", 400, R"({"field":"colour"})",
         Reviews::State::problem(Outcome::invalid(std::nullopt)), "(?)"},
        {"400 over 64 KiB", 400, longRefusal,
         Reviews::State::problem(Outcome::invalid(std::nullopt)), "(?)"},
        {"400 name", 400, R"({"field":"name"})",
         Reviews::State::problem(Outcome::invalid(Field::name)), "2 to 60 characters"},
        {"409", 409, {}, Reviews::State::thanks(true), nullptr},
        {"429", 429, {}, Reviews::State::problem(Outcome::of(Kind::tooMany)), "Too many"},
        {"500", 500, {}, Reviews::State::problem(Outcome::of(Kind::failed)), "could not be sent"},
        {"refused",
         0,
         {},
         Reviews::State::problem(Outcome::of(Kind::offline)),
         "could not be reached"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReviewFixture f;
        if (c.status == 0) {
            QSettings(f.settingsPath, QSettings::IniFormat)
                .setValue(
                    "serviceBaseURL",
                    QStringLiteral("http://127.0.0.1:%1").arg(testsupport::closedLocalPort()));
        } else {
            f.server.respond("/api/v1/reviews", answer(c.status, c.body));
        }
        f.fill();
        f.sendAndWait();
        EXPECT_EQ(f.reviews.state(), c.state);
        const bool through = c.state.kind == Reviews::State::Kind::thanks;
        EXPECT_EQ(f.storedSent(), through);
        // What was typed goes only once the review is through.
        EXPECT_EQ(f.reviews.text().isEmpty(), through);
        EXPECT_EQ(f.reviews.rating() == 0, through);
        if (c.messagePart) {
            const QString message = c.state.outcome.message(f.reviews.host());
            EXPECT_TRUE(message.contains(QLatin1String(c.messagePart))) << message.toStdString();
        }
    }
}

TEST(ReviewSend, WithoutAnHttpAnswerTheReviewIsSentOnceAndShownOffline) {
    struct Case {
        const char* name;
        LocalHttpServer::Response response;
    };
    LocalHttpServer::Response garbage;
    garbage.raw = "SMTP ready\r\n\r\n";
    LocalHttpServer::Response dropped;
    dropped.drop = true;
    // A byte every 100 ms never falls silent for the transfer timeout.
    LocalHttpServer::Response trickle;
    trickle.generated = 1'000'000;
    trickle.trickleMs = 100;
    const Case cases[] = {{"not HTTP", garbage},
                          {"closed unanswered", dropped},
                          {"trickling past the deadline", trickle}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReviewFixture f;
        f.server.respond("/api/v1/reviews", c.response);
        // The deadline is the request's time-out; shortened here.
        f.reviews.setTransport([](const QNetworkRequest& request, const QByteArray& body,
                                  std::function<void(std::optional<Reviews::Answer>)> done) {
            QNetworkRequest shorter = request;
            shorter.setTransferTimeout(1500);
            Reviews::defaultTransport(shorter, body, std::move(done));
        });
        f.fill();
        f.sendAndWait();
        EXPECT_EQ(f.reviews.state(), Reviews::State::problem(Outcome::of(Kind::offline)));
        EXPECT_EQ(f.server.requestsFor("/api/v1/reviews").size(), 1);
        EXPECT_FALSE(f.storedSent());
        EXPECT_EQ(f.reviews.text(), goodText) << "what was typed stays for another try";
        // Sent again only when the user says so.
        testsupport::pump(500);
        EXPECT_EQ(f.server.requestsFor("/api/v1/reviews").size(), 1);
    }
}

TEST(ReviewSend, RequestCarriesTheCleanedReviewWithSortedKeys) {
    ReviewFixture f;
    f.server.respond("/api/v1/reviews", answer(201));
    f.reviews.setRating(5);
    f.reviews.setName(QStringLiteral("  Ann\tLee\n "));
    f.reviews.setText(QStringLiteral("\r\n  Line one\r\nline\ttwo, long enough.\r\n"));
    f.sendAndWait();
    ASSERT_EQ(f.server.requests().size(), 1);
    const LocalHttpServer::Request& request = f.server.requests().first();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.headers.value("content-type"), "application/json");
    EXPECT_EQ(request.headers.value("accept"), "application/json");
    const QByteArray os = service::operatingSystemVersionString().toUtf8();
    EXPECT_EQ(request.body,
              R"({"install":"3f491692-b592-4e76-afb0-7600cf7edf4c","lang":"de","name":"Ann Lee",)"
              R"("os":")" +
                  os +
                  R"(","platform":"linux","product":"vexlin","rating":5,)"
                  R"("text":"Line one\nline\ttwo, long enough.","version":"2.3.1"})");
}

TEST(ReviewSend, TwoQuickSendsMakeOneRequest) {
    ReviewFixture f;
    f.server.respond("/api/v1/reviews", answer(429));
    f.fill();
    f.reviews.send();
    EXPECT_FALSE(f.reviews.canSend());
    f.reviews.send();
    ASSERT_TRUE(testsupport::waitFor(
        10'000, [&] { return f.reviews.state().kind == Reviews::State::Kind::problem; }));
    testsupport::pump(100);
    EXPECT_EQ(f.server.requests().size(), 1);
    // A problem leaves the form ready for another try.
    EXPECT_TRUE(f.reviews.canSend());
}

TEST(ReviewSend, AfterAnEarlierReviewTheMenuItemIsReviewSentAndNothingIsSent) {
    ReviewFixture f;
    f.server.respond("/api/v1/reviews", answer(409));
    QAction item;
    f.reviews.updateMenuItem(&item);
    EXPECT_EQ(item.text(), QStringLiteral("Write a Review…"));
    EXPECT_TRUE(item.isEnabled());

    f.fill();
    f.sendAndWait();
    EXPECT_TRUE(f.storedSent());
    EXPECT_EQ(f.reviews.name(), QString());
    EXPECT_EQ(f.reviews.text(), QString());
    EXPECT_EQ(f.reviews.rating(), 0);
    f.reviews.updateMenuItem(&item);
    EXPECT_EQ(item.text(), QStringLiteral("Review Sent"));
    EXPECT_FALSE(item.isEnabled());

    // A later run: the stored flag alone keeps it from sending again.
    Reviews later(f.settingsPath, &f.count);
    later.setRating(4);
    later.setName(QStringLiteral("Ann"));
    later.setText(goodText);
    EXPECT_FALSE(later.canSend());
    later.send();
    testsupport::pump(50);
    EXPECT_EQ(f.server.requests().size(), 1);
}

TEST(ReviewPostText, NameIsOneCleanLine) {
    using service::ReviewPost::normalizedName;
    using service::ReviewPost::scalarCount;
    const QString family = QString::fromUtf8("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9");
    struct Case {
        QString typed;
        QString sent;
    };
    const Case cases[] = {
        {QStringLiteral("  Ann\tLee\n "), QStringLiteral("Ann Lee")},
        {QString::fromUtf8("An\xE2\x80\x8Bn"), QStringLiteral("Ann")}, // zero-width space
        {QString::fromUtf8("\xE2\x80\x8F"
                           "Ann\xE2\x80\x8E"),
         QStringLiteral("Ann")}, // bidi marks
        {QString::fromUtf8("Ann\r\n\xE2\x80\xA8Lee"), QStringLiteral("Ann Lee")},
        {family + QStringLiteral(" Lee"), family + QStringLiteral(" Lee")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(normalizedName(c.typed), c.sent) << c.typed.toStdString();
    }
    EXPECT_EQ(scalarCount(normalizedName(QStringLiteral("  Ann\tLee\n "))), 7);
    EXPECT_EQ(scalarCount(family), 3);
}

TEST(ReviewPostText, TextKeepsTabsAndDropsCarriageReturns) {
    using service::ReviewPost::normalizedText;
    EXPECT_EQ(normalizedText(QStringLiteral(" \r\nOne\r\nTwo\tthree\u200B\n\n ")),
              QStringLiteral("One\nTwo\tthree"));
}

TEST(ReviewPostText, LocalLimitsInTheirOrder) {
    using service::ReviewPost::validate;
    const auto text = [](int scalars) {
        return QStringLiteral("  \n") + QString(scalars, QLatin1Char('a')) + QStringLiteral("\n ");
    };
    struct Case {
        const char* name;
        int rating;
        QString personName;
        QString body;
        std::optional<Field> failing;
    };
    const Case cases[] = {
        {"all good", 3, "Al", text(20), std::nullopt},
        {"rating first", 0, "A", text(1), Field::rating},
        {"six stars", 6, "Ann", text(20), Field::rating},
        {"one letter in spaces", 3, "  A  ", text(20), Field::name},
        {"60 letters", 3, QString(60, 'n'), text(800), std::nullopt},
        {"61 letters", 3, QString(61, 'n'), text(20), Field::name},
        {"19 scalars", 3, "Ann", text(19), Field::text},
        {"800 scalars", 3, "Ann", text(800), std::nullopt},
        {"801 scalars", 3, "Ann", text(801), Field::text},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(validate(c.rating, c.personName, c.body), c.failing) << c.name;
    }
}

TEST(ReviewPostBody, LanguageAndVersionRules) {
    using service::ReviewPost::requestBody;
    const auto body = [](const QString& version, const QString& language) {
        return QJsonDocument::fromJson(
                   requestBody(
                       {.install = "i", .version = version, .os = "6.1", .language = language}, 3,
                       "Ann", goodText))
            .object();
    };
    EXPECT_EQ(body("1.0", "zh_Hans")["lang"].toString(), "zh-Hans");
    EXPECT_FALSE(body("1.0", "").contains("lang"));
    EXPECT_FALSE(body("1.0", "de-DE-x-private").contains("lang"));
    EXPECT_EQ(body("", "de")["version"].toString(), "0");
    EXPECT_EQ(body(QString(25, '9'), "de")["version"].toString(), QString(20, '9'));
}

TEST(ReviewAnswer, RefusedFieldOnlyFromAnObjectNamingAKnownField) {
    using service::ReviewPost::refusedField;
    EXPECT_EQ(refusedField(R"({"field":"text"})"), Field::text);
    EXPECT_EQ(refusedField(R"({"field":"Text"})"), std::nullopt);
    EXPECT_EQ(refusedField(R"({"field":3})"), std::nullopt);
    EXPECT_EQ(refusedField(R"(["field","text"])"), std::nullopt);
    EXPECT_EQ(refusedField("{}"), std::nullopt);
    EXPECT_EQ(refusedField(""), std::nullopt);
}

// The window, on the offscreen platform.
struct WindowFixture : ReviewFixture {
    WindowFixture() {
        service::ReviewWindowController::show(reviews);
        window = service::ReviewWindowController::window();
        view = window->findChild<service::ReviewView*>();
    }
    ~WindowFixture() {
        if (window) {
            window->close();
        }
        testsupport::pump(20);
    }
    QPointer<QWidget> window;
    service::ReviewView* view = nullptr;
};

TEST(ReviewWindow, OneCountedWindowOf440AndAProblemGoneOnReopening) {
    const int before = app::AppPresence::shared().openAppWindowCount();
    {
        WindowFixture f;
        ASSERT_NE(f.view, nullptr);
        testsupport::pump(20);
        EXPECT_EQ(f.window->width(), 440);
        EXPECT_EQ(app::AppPresence::shared().openAppWindowCount(), before + 1);
        service::ReviewWindowController::show(f.reviews);
        EXPECT_EQ(service::ReviewWindowController::window(), f.window.data());
        EXPECT_EQ(app::AppPresence::shared().openAppWindowCount(), before + 1);

        // A refused connection: the problem shows above the buttons.
        QSettings(f.settingsPath, QSettings::IniFormat)
            .setValue("serviceBaseURL",
                      QStringLiteral("http://127.0.0.1:%1").arg(testsupport::closedLocalPort()));
        f.fill();
        f.view->sendButton()->click();
        ASSERT_TRUE(testsupport::waitFor(
            10'000, [&] { return f.reviews.state().kind == Reviews::State::Kind::problem; }));
        EXPECT_TRUE(f.view->problemLabel()->isVisibleTo(f.window));
        EXPECT_TRUE(f.view->problemLabel()->text().contains("could not be reached"));

        QTest::keyClick(f.view->nameField(), Qt::Key_Escape);
        testsupport::pump(20);
        EXPECT_TRUE(f.window.isNull());
        EXPECT_EQ(app::AppPresence::shared().openAppWindowCount(), before);
        EXPECT_EQ(f.reviews.state(), Reviews::State{});

        service::ReviewWindowController::show(f.reviews);
        auto* view = service::ReviewWindowController::window()->findChild<service::ReviewView*>();
        EXPECT_FALSE(view->problemLabel()->isVisibleTo(view));
        EXPECT_EQ(view->nameField()->text(), "Ann");
        EXPECT_EQ(view->textField()->toPlainText(), goodText);
        service::ReviewWindowController::window()->close();
        testsupport::pump(20);
    }
    EXPECT_EQ(app::AppPresence::shared().openAppWindowCount(), before);
}

TEST(ReviewWindow, CounterHintAndSendFollowTheText) {
    WindowFixture f;
    f.reviews.setRating(4);
    f.reviews.setName("Ann");
    struct Case {
        QString text;
        const char* counter;
        bool hint;
        bool red;
        bool sendable;
    };
    const Case cases[] = {
        {"  " + QString(19, 'a') + "\n", "19 / 800", true, false, false},
        {QString(20, 'a'), "20 / 800", false, false, true},
        {QString(800, 'a'), "800 / 800", false, false, true},
        {QString(801, 'a'), "801 / 800", false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.counter);
        f.view->textField()->setPlainText(c.text);
        EXPECT_EQ(f.reviews.text(), c.text);
        EXPECT_EQ(f.view->counterLabel()->text(), c.counter);
        EXPECT_EQ(f.view->hintLabel()->isVisibleTo(f.view), c.hint);
        EXPECT_EQ(f.view->counterLabel()->palette().color(QPalette::WindowText) == QColor(Qt::red),
                  c.red);
        EXPECT_EQ(f.view->sendButton()->isEnabled(), c.sendable);
    }
}

TEST(ReviewWindow, ThanksPageAfterSendingAndReturnCloses) {
    WindowFixture f;
    f.server.respond("/api/v1/reviews", answer(201));
    f.fill();
    f.view->nameField()->setFocus();
    QTest::keyClick(f.view->nameField(), Qt::Key_Return);
    ASSERT_TRUE(testsupport::waitFor(10'000, [&] { return f.view->showsThanks(); }));
    EXPECT_TRUE(f.view->thanksMessage()->text().contains("Your review was sent"));
    QTest::keyClick(f.view, Qt::Key_Return);
    testsupport::pump(20);
    EXPECT_TRUE(f.window.isNull());
}

TEST(StarRating, HoverFillsClickChoosesAndAccessibleValueStaysInRange) {
    service::StarRating stars;
    stars.show();
    const QPoint third = stars.starRect(3).center();
    QTest::mouseMove(&stars, third);
    EXPECT_EQ(stars.shown(), 3);
    EXPECT_EQ(stars.rating(), 0);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&stars, &leave);
    EXPECT_EQ(stars.shown(), 0);
    QTest::mouseClick(&stars, Qt::LeftButton, {}, third);
    EXPECT_EQ(stars.rating(), 3);

    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&stars);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name), "Rating");
    EXPECT_EQ(accessible->text(QAccessible::Value), "3 of 5 stars");
    QAccessibleActionInterface* actions = accessible->actionInterface();
    ASSERT_NE(actions, nullptr);
    for (int i = 0; i < 4; ++i) {
        actions->doAction(QAccessibleActionInterface::increaseAction());
    }
    EXPECT_EQ(stars.rating(), 5);
    stars.setRating(0);
    actions->doAction(QAccessibleActionInterface::decreaseAction());
    EXPECT_EQ(stars.rating(), 1);
    actions->doAction(QAccessibleActionInterface::decreaseAction());
    EXPECT_EQ(stars.rating(), 1);
}

// Whether some pixel of `picture` is near `colour`.
bool shows(const QPixmap& picture, const QColor& colour) {
    const QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() == 255 && std::abs(c.red() - colour.red()) < 20 &&
                std::abs(c.green() - colour.green()) < 20 &&
                std::abs(c.blue() - colour.blue()) < 20) {
                return true;
            }
        }
    }
    return false;
}

// The window opens in the middle of the screen, its header shows the
// program's icon, and a send that fails shows the orange warning triangle
// beside the problem.
TEST(ReviewWindow, CentredWithTheProgramsIconAndAnOrangeTriangleForAProblem) {
    testsupport::TempDir dir;
    const QString settings = dir.file(QStringLiteral("VexlinCapture.conf"));
    service::InstallCount count(settings);
    Reviews reviews(settings, &count);
    reviews.setTransport([](const QNetworkRequest&, const QByteArray&,
                            std::function<void(std::optional<Reviews::Answer>)> done) {
        done(Reviews::Answer{429, {}, true});
    });
    service::ReviewWindowController::show(reviews);
    QWidget* window = service::ReviewWindowController::window();
    ASSERT_NE(window, nullptr);
    testsupport::pump(100);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_NEAR(window->geometry().center().x(), area.center().x(), 2);
    EXPECT_NEAR(window->geometry().center().y(), area.center().y(), 2);

    const auto* icon = window->findChild<QLabel*>(QStringLiteral("appIcon"));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->size(), QSize(56, 56));
    EXPECT_TRUE(shows(icon->pixmap(), QColor(0x30, 0x8c, 0xc6))) << "the mark in its blue";

    reviews.setRating(4);
    reviews.setName(QStringLiteral("Ann Lee"));
    reviews.setText(QStringLiteral("Quick to start, and the arrows look right."));
    reviews.send();
    ASSERT_TRUE(testsupport::waitFor(
        5000, [&] { return reviews.state().kind == Reviews::State::Kind::problem; }));
    const auto* triangle = window->findChild<QLabel*>(QStringLiteral("problemSymbol"));
    ASSERT_NE(triangle, nullptr);
    EXPECT_TRUE(triangle->isVisible());
    EXPECT_TRUE(shows(triangle->pixmap(), QColor(0xff, 0x95, 0x00)));
    window->close();
    testsupport::pump(50);
}

} // namespace
