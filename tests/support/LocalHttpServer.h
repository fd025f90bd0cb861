#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QUrl>

#include <functional>

class QTcpSocket;

namespace testsupport {

// A small HTTP/1.1 server on 127.0.0.1 for the service tests: it records every
// request and answers from a per-path table.
class LocalHttpServer : public QObject {
public:
    struct Request {
        QByteArray method;
        QByteArray path;
        QMap<QByteArray, QByteArray> headers; // names lower-cased
        QByteArray body;
    };
    struct Response {
        int status = 200;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        // Closes the connection without any answer, as a server that went
        // away does.
        bool drop = false;
        // Leaves out Content-Length and ends the body by closing.
        bool noLength = false;
    };

    LocalHttpServer();
    ~LocalHttpServer() override;

    quint16 port() const { return server_.serverPort(); }
    QUrl base() const;
    // Answers requests for `path` (without query); unknown paths get 404.
    void respond(const QByteArray& path, Response response);
    // Computes the answer from the request instead.
    void respondWith(const QByteArray& path, std::function<Response(const Request&)> answer);

    const QList<Request>& requests() const { return requests_; }
    QList<Request> requestsFor(const QByteArray& path) const;

private:
    void readFrom(QTcpSocket* socket);

    QTcpServer server_;
    QMap<QByteArray, std::function<Response(const Request&)>> answers_;
    QList<Request> requests_;
    QMap<QTcpSocket*, QByteArray> pending_;
};

// A port on 127.0.0.1 where nothing listens.
quint16 closedLocalPort();

} // namespace testsupport
