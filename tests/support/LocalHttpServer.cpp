#include "support/LocalHttpServer.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace testsupport {

LocalHttpServer::LocalHttpServer() {
    server_.listen(QHostAddress(QHostAddress::LocalHost), 0);
    QObject::connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, this,
                             [this, socket] { readFrom(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

LocalHttpServer::~LocalHttpServer() = default;

QUrl LocalHttpServer::base() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port()));
}

void LocalHttpServer::respond(const QByteArray& path, Response response) {
    answers_[path] = [response](const Request&) { return response; };
}

void LocalHttpServer::respondWith(const QByteArray& path,
                                  std::function<Response(const Request&)> answer) {
    answers_[path] = std::move(answer);
}

QList<LocalHttpServer::Request> LocalHttpServer::requestsFor(const QByteArray& path) const {
    QList<Request> found;
    for (const Request& request : requests_) {
        if (request.path == path) {
            found.append(request);
        }
    }
    return found;
}

void LocalHttpServer::readFrom(QTcpSocket* socket) {
    QByteArray& buffer = pending_[socket];
    buffer += socket->readAll();
    for (;;) {
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0) {
            return;
        }
        const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
        Request request;
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        const QByteArray target = first.value(1);
        request.path = target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?'));
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0) {
                request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                       lines[i].mid(colon + 1).trimmed());
            }
        }
        const qsizetype length = request.headers.value("content-length", "0").toLongLong();
        if (buffer.size() < headEnd + 4 + length) {
            return;
        }
        request.body = buffer.mid(headEnd + 4, length);
        buffer.remove(0, headEnd + 4 + length);
        requests_.append(request);

        const auto answer = answers_.value(request.path);
        const Response response = answer ? answer(request) : Response{404, "not found", {}};
        if (!response.raw.isEmpty()) {
            pending_.remove(socket);
            socket->write(response.raw);
            socket->disconnectFromHost();
            return;
        }
        if (response.drop) {
            pending_.remove(socket);
            socket->abort();
            return;
        }
        QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
        for (const auto& [name, value] : response.headers) {
            out += name + ": " + value + "\r\n";
        }
        if (response.trickleMs > 0) {
            // The whole answer, status line first, a byte at a time.
            out += "Connection: close\r\n\r\n" + response.body;
            pending_.remove(socket);
            trickle(socket, request.path, out, response.generated, response.trickleMs);
            return;
        }
        if (response.generated > 0) {
            out += "Connection: close\r\n\r\n" + response.body;
            socket->write(out);
            pending_.remove(socket);
            stream(socket, request.path, response.generated);
            return;
        }
        if (response.noLength) {
            out += "Connection: close\r\n\r\n" + response.body;
            socket->write(out);
            socket->disconnectFromHost();
            pending_.remove(socket);
            return;
        }
        out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n\r\n";
        out += response.body;
        socket->write(out);
    }
}

void LocalHttpServer::stream(QTcpSocket* socket, const QByteArray& path, qint64 total) {
    // No more is queued than one block while the client is slower, so the
    // server's own memory stays flat however much it sends.
    static const QByteArray block(1 << 20, 'A');
    const QPointer<QTcpSocket> alive(socket);
    auto left = std::make_shared<qint64>(total);
    const auto refill = [this, alive, path, left] {
        if (!alive) {
            return;
        }
        while (*left > 0 && alive->bytesToWrite() < block.size()) {
            const qint64 n = std::min<qint64>(*left, block.size());
            alive->write(block.constData(), n);
            *left -= n;
            generatedSent_[path] += n;
        }
        if (*left == 0 && alive->bytesToWrite() == 0) {
            alive->disconnectFromHost();
        }
    };
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, refill);
    refill();
}

void LocalHttpServer::trickle(QTcpSocket* socket, const QByteArray& path, const QByteArray& head,
                              qint64 generated, int intervalMs) {
    auto* timer = new QTimer(socket);
    auto sent = std::make_shared<qint64>(0);
    QObject::connect(timer, &QTimer::timeout, socket,
                     [this, socket, timer, path, head, generated, sent] {
                         if (*sent < head.size()) {
                             socket->write(head.constData() + *sent, 1);
                         } else if (*sent < head.size() + generated) {
                             socket->write("A", 1);
                             ++generatedSent_[path];
                         } else {
                             timer->stop();
                             socket->disconnectFromHost();
                             return;
                         }
                         ++*sent;
                     });
    timer->start(intervalMs);
}

quint16 closedLocalPort() {
    QTcpServer probe;
    probe.listen(QHostAddress(QHostAddress::LocalHost), 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace testsupport
