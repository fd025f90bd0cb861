#include "service/Reviews.h"

#include "service/InstallCount.h"
#include "service/ServiceAddress.h"
#include "service/SinglePost.h"
#include "service/StoredValue.h"

#include "app/Bundle.h"
#include "app/SettingsFile.h"

#include <QAction>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>

namespace service {

namespace {

const QString sentKey = QStringLiteral("reviewSent");

} // namespace

Reviews::Reviews(QString settingsPath, InstallCount* count, QObject* parent)
    : QObject(parent)
    , settingsPath_(std::move(settingsPath))
    , count_(count)
    , transport_(&Reviews::defaultTransport)
    , version_(app::Bundle::main().shortVersionString()) {}

Reviews& Reviews::shared() {
    static Reviews* instance = new Reviews(app::settingsFilePath(), &InstallCount::shared());
    return *instance;
}

void Reviews::setRating(int rating) {
    if (rating != rating_) {
        rating_ = rating;
        Q_EMIT ratingChanged();
    }
}

void Reviews::setName(const QString& name) {
    if (name != name_) {
        name_ = name;
        Q_EMIT nameChanged();
    }
}

void Reviews::setText(const QString& text) {
    if (text != text_) {
        text_ = text;
        Q_EMIT textChanged();
    }
}

void Reviews::setState(const State& state) {
    if (!(state == state_)) {
        state_ = state;
        Q_EMIT stateChanged();
    }
}

bool Reviews::reviewSent() const {
    return storedBool(settingsPath_, sentKey).value_or(false);
}

void Reviews::markReviewSent() {
    app::settingsFile::writeValue(settingsPath_, sentKey, true);
    Q_EMIT reviewSentChanged();
}

bool Reviews::canSend() const {
    if (state_.kind == State::Kind::sending || reviewSent()) {
        return false;
    }
    return !ReviewPost::validate(rating_, name_, text_).has_value();
}

int Reviews::textCount() const {
    return int(ReviewPost::scalarCount(ReviewPost::normalizedText(text_)));
}

QString Reviews::host() const {
    return configuredServiceBase(settingsPath_).host();
}

void Reviews::send() {
    if (!canSend()) {
        return;
    }
    setState({State::Kind::sending, false, {}});
    const std::optional<QUrl> url = serviceEndpoint(configuredServiceBase(settingsPath_),
                                                    QLatin1String(ReviewPost::reviewsPath));
    const auto finish = [self = QPointer<Reviews>(this)](std::optional<Answer> answer) {
        if (!self) {
            return;
        }
        using Kind = ReviewPost::Outcome::Kind;
        // A body cut at the cap reads like one that cannot be decoded.
        const ReviewPost::Outcome outcome =
            answer ? ReviewPost::Outcome::fromAnswer(
                         answer->status,
                         answer->complete ? std::optional<QByteArray>(answer->body) : std::nullopt)
                   : ReviewPost::Outcome::fromAnswer(std::nullopt, std::nullopt);
        if (outcome.kind == Kind::sent || outcome.kind == Kind::alreadySent) {
            self->markReviewSent();
            self->setRating(0);
            self->setName(QString());
            self->setText(QString());
            self->setState(State::thanks(outcome.kind == Kind::alreadySent));
        } else {
            // What was typed stays for another try.
            self->setState(State::problem(outcome));
        }
    };
    if (!url) {
        // An address the rule refuses is never contacted: as if offline.
        finish(std::nullopt);
        return;
    }
    const ReviewPost::Sender sender{
        .install = count_->installationNumber(),
        .version = version_,
        .os = operatingSystemVersionString(),
        .language = language_ ? language_() : QString(),
    };
    const ReviewPost::Request request =
        ReviewPost::makeRequest(*url, sender, rating_, name_, text_);
    transport_(request.request, request.body, finish);
}

QString Reviews::menuItemTitle(bool sent) {
    if (sent) {
        //: Menu item, disabled: this installation has sent its one review
        return tr("Review Sent");
    }
    //: Menu item and Settings button that opens the review window
    return tr("Write a Review…");
}

void Reviews::updateMenuItem(QAction* item) const {
    const bool sent = reviewSent();
    item->setText(menuItemTitle(sent));
    item->setEnabled(!sent);
}

void Reviews::defaultTransport(const QNetworkRequest& request, const QByteArray& body,
                               std::function<void(std::optional<Answer>)> done) {
    auto* manager = new QNetworkAccessManager;
    QNetworkRequest sent = request;
    applyServicePolicy(sent);
    sent.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    sent.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    sent.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    sent.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // A review goes out once: should the connection end without an answer,
    // the user is told and may send again.
    QNetworkReply* reply = postOnce(*manager, sent, body);
    guardServiceRedirects(reply);
    limitTotalTime(reply, std::chrono::milliseconds(request.transferTimeout()));
    struct Received {
        QByteArray bytes;
        bool tooLong = false;
    };
    auto received = std::make_shared<Received>();
    // Read as it comes so that a long answer stops at the cap instead of
    // filling memory.
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, received] {
        if (received->tooLong) {
            reply->readAll();
            return;
        }
        received->bytes += reply->read(answerLimit + 1 - received->bytes.size());
        if (received->bytes.size() > answerLimit) {
            received->tooLong = true;
            received->bytes.clear();
            QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection);
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, manager, received, done] {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        std::optional<Answer> answer;
        // Cut at the deadline, an answer under way counts as none.
        if (status.isValid() && !passedDeadline(reply)) {
            if (!received->tooLong) {
                received->bytes += reply->read(answerLimit + 1 - received->bytes.size());
                received->tooLong = received->bytes.size() > answerLimit;
            }
            answer = Answer{status.toInt(), received->bytes, !received->tooLong};
        }
        reply->deleteLater();
        manager->deleteLater();
        done(answer);
    });
}

} // namespace service
