#pragma once

#include <QByteArray>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

namespace service {

// Posts `body` at most once. Qt's HTTP connection sends a request again by
// itself when the connection ends without a valid answer (up to three more
// times), which for a POST means the server may act on it again: here the
// body cannot be rewound once it has gone out whole, so such a retry fails
// the reply instead (ContentReSendError) and the caller decides.
QNetworkReply* postOnce(QNetworkAccessManager& manager, const QNetworkRequest& request,
                        const QByteArray& body);

} // namespace service
