#pragma once

#include "service/ReviewPost.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QAction;

namespace service {

class InstallCount;

// The review form's model and its one send: the rating, name and text being
// typed, the form's state, and whether this installation has sent its one
// review (kept in the settings file under "reviewSent"). Main thread only.
class Reviews : public QObject {
    Q_OBJECT
public:
    // The server's answer: its status and its body, which is only complete
    // up to 64 KiB.
    struct Answer {
        int status = 0;
        QByteArray body;
        bool complete = true;
    };
    // Sends a request; done gets nothing when no HTTP answer arrived.
    using Transport = std::function<void(const QNetworkRequest& request, const QByteArray& body,
                                         std::function<void(std::optional<Answer>)> done)>;

    struct State {
        enum class Kind { editing, sending, thanks, problem };
        Kind kind = Kind::editing;
        // For thanks: the server already held a review from this installation.
        bool alreadySent = false;
        // For problem: how the last send ended.
        ReviewPost::Outcome outcome;

        static State thanks(bool alreadySent) { return {Kind::thanks, alreadySent, {}}; }
        static State problem(ReviewPost::Outcome outcome) {
            return {Kind::problem, false, outcome};
        }
        friend bool operator==(const State&, const State&) = default;
    };

    // Over the given settings file, taking the installation number from count.
    Reviews(QString settingsPath, InstallCount* count, QObject* parent = nullptr);
    // Over the program's settings file and the shared installation count.
    static Reviews& shared();

    void setTransport(Transport transport) { transport_ = std::move(transport); }
    // The program's language as a tag ("pt-BR"), asked at each send.
    void setLanguageSource(std::function<QString()> language) { language_ = std::move(language); }
    void setVersion(QString version) { version_ = std::move(version); }

    int rating() const { return rating_; }
    void setRating(int rating);
    QString name() const { return name_; }
    void setName(const QString& name);
    QString text() const { return text_; }
    void setText(const QString& text);
    State state() const { return state_; }
    void setState(const State& state);

    bool reviewSent() const;
    // Never back to false.
    void markReviewSent();

    // Whether Send may start: not while sending, never once a review was
    // sent, and only while rating, name and text pass the local limits.
    bool canSend() const;
    // The text's length as it will be sent, in Unicode scalars.
    int textCount() const;

    // Sends the review when it may; the outcome ends in state.
    void send();

    // The host named in the texts: that of the configured service address.
    QString host() const;

    // "Review Sent" once a review was sent, else "Write a Review…".
    static QString menuItemTitle(bool sent);
    // Sets the item's title and enables it only while no review was sent.
    void updateMenuItem(QAction* item) const;

    // A fresh network access manager without cookies or cache for each
    // review; answers over 64 KiB keep no body.
    static void defaultTransport(const QNetworkRequest& request, const QByteArray& body,
                                 std::function<void(std::optional<Answer>)> done);
    static constexpr qint64 answerLimit = 64 * 1024;

Q_SIGNALS:
    void ratingChanged();
    void nameChanged();
    void textChanged();
    void stateChanged();
    void reviewSentChanged();

private:
    QString settingsPath_;
    InstallCount* count_;
    Transport transport_;
    std::function<QString()> language_;
    QString version_;
    int rating_ = 0;
    QString name_;
    QString text_;
    State state_;
};

} // namespace service
