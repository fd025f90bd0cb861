// The product web service as a hostile server for the updater's end-to-end
// cases: it offers a newer release and then streams, without a length, a
// signature of 1.5 GB ("signature") or an archive of 700 MB ("archive"),
// generated as the client reads, so neither side keeps it anywhere. Prints
// its port, then serves until it is ended.
//
//   update_server signature|archive
#include "support/LocalHttpServer.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode != "signature" && mode != "archive") {
        std::fprintf(stderr, "usage: update_server signature|archive\n");
        return 2;
    }
    testsupport::LocalHttpServer server;
    const QByteArray base = server.base().toEncoded();
    server.respond("/api/v1/updates/linux", {200,
                                             R"({"version":"99.0","build":999999,"download":")" +
                                                 base + R"(/release.tar.gz"})",
                                             {}});
    const qint64 mib = 1024 * 1024;
    testsupport::LocalHttpServer::Response huge;
    if (mode == "signature") {
        server.respond("/release.tar.gz", {200, "a small archive", {}});
        huge.generated = 1536 * mib;
        server.respond("/release.tar.gz.sig", huge);
    } else {
        huge.generated = 700 * mib;
        server.respond("/release.tar.gz", huge);
    }
    std::printf("%d\n", int(server.port()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
