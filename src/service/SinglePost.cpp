#include "service/SinglePost.h"

#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <cstring>

namespace service {

namespace {

// The body of one request, readable from the start until it has been read to
// its end once; a rewind after that is refused.
class OnceReadBody : public QIODevice {
public:
    OnceReadBody(QByteArray body, QObject* parent) : QIODevice(parent), body_(std::move(body)) {
        open(QIODevice::ReadOnly);
    }
    qint64 size() const override { return body_.size(); }
    bool seek(qint64 position) override {
        if (position != 0 || handedOut_) {
            return false;
        }
        return QIODevice::seek(position);
    }
    bool reset() override { return seek(0); }
    bool atEnd() const override { return pos() >= body_.size(); }

protected:
    qint64 readData(char* data, qint64 maximum) override {
        const qint64 n = std::min(maximum, body_.size() - pos());
        if (n <= 0) {
            return 0;
        }
        std::memcpy(data, body_.constData() + pos(), size_t(n));
        if (pos() + n >= body_.size()) {
            handedOut_ = true;
        }
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray body_;
    bool handedOut_ = false;
};

} // namespace

QNetworkReply* postOnce(QNetworkAccessManager& manager, const QNetworkRequest& request,
                        const QByteArray& body) {
    QNetworkRequest sent = request;
    sent.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
    auto* device = new OnceReadBody(body, nullptr);
    QNetworkReply* reply = manager.post(sent, device);
    device->setParent(reply);
    return reply;
}

} // namespace service
