#include "service/SelfUpdate.h"
#include "app/AlertPresenter.h"
#include "support/EventLoop.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

#include <openssl/evp.h>

namespace {

using testsupport::LocalHttpServer;
using Kind = service::SelfUpdateProgress::Kind;

class RecordingAlerts : public app::AlertPresenter {
public:
    int run(const app::Alert& alert) override {
        shown.append(alert);
        return 0; // Download
    }
    QList<app::Alert> shown;
};

// A test signing key of our own.
struct TestKey {
    TestKey() {
        EVP_PKEY_CTX* context = EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr);
        EVP_PKEY_keygen_init(context);
        EVP_PKEY_keygen(context, &key);
        EVP_PKEY_CTX_free(context);
        size_t length = 32;
        publicKey.resize(32);
        EVP_PKEY_get_raw_public_key(key, reinterpret_cast<unsigned char*>(publicKey.data()),
                                    &length);
    }
    ~TestKey() { EVP_PKEY_free(key); }
    QByteArray sign(const QByteArray& data) const {
        QByteArray signature(64, '\0');
        size_t length = 64;
        EVP_MD_CTX* context = EVP_MD_CTX_new();
        EVP_DigestSignInit(context, nullptr, nullptr, nullptr, key);
        EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &length,
                       reinterpret_cast<const unsigned char*>(data.constData()), data.size());
        EVP_MD_CTX_free(context);
        return signature.toBase64();
    }
    EVP_PKEY* key = nullptr;
    QByteArray publicKey;
};

// A folder's files and their contents, to compare a folder before and after.
QMap<QString, QByteArray> snapshot(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
        files.insert(name, testsupport::readAll(dir.filePath(name)));
    }
    return files;
}

struct Fixture {
    testsupport::TempDir dir;
    QString install = dir.file(QStringLiteral("VexlinCapture"));
    LocalHttpServer server;
    TestKey key;
    RecordingAlerts alerts;
    app::ScopedAlertPresenter scoped{alerts};
    QList<QPair<QString, QStringList>> started;
    bool startSucceeds = true;
    QList<QUrl> opened;
    QList<Kind> phases;
    QByteArray archive;
    std::unique_ptr<service::SelfUpdate> updater;

    Fixture() {
        QDir().mkpath(install);
        testsupport::writeAll(install + QStringLiteral("/.vexlin-release"), "1.0\n");
        testsupport::writeAll(install + QStringLiteral("/vexlin-capture"), "old program");
        // The release: a marker and an executable program, packed with tar.
        const QString release = dir.file(QStringLiteral("release"));
        QDir().mkpath(release);
        testsupport::writeAll(release + QStringLiteral("/.vexlin-release"), "2.0\n");
        testsupport::writeAll(release + QStringLiteral("/vexlin-capture"), "new program");
        QFile(release + QStringLiteral("/vexlin-capture"))
            .setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString packed = dir.file(QStringLiteral("release.tar.gz"));
        QProcess::execute(
            QStringLiteral("tar"),
            {QStringLiteral("-czf"), packed, QStringLiteral("-C"), release, QStringLiteral(".")});
        archive = testsupport::readAll(packed);
        updater = std::make_unique<service::SelfUpdate>(service::SelfUpdate::Environment{
            .installFolder = install,
            .executable = QStringLiteral("vexlin-capture"),
            .publicKey = key.publicKey,
            .arguments = {QStringLiteral("-VexlinInstallUpdateNow"), QStringLiteral("--x")},
            .startDetached =
                [this](const QString& program, const QStringList& arguments) {
                    started.append({program, arguments});
                    return startSucceeds;
                },
            .quit = [] {},
            .openUrl = [this](const QUrl& url) { opened.append(url); },
            .hostName = QStringLiteral("vexlin.app"),
            .showPanel = false,
        });
        QObject::connect(&updater->progress(), &service::SelfUpdateProgress::phaseChanged, [this] {
            const Kind kind = updater->progress().phase().kind;
            if (phases.isEmpty() || phases.last() != kind) {
                phases.append(kind);
            }
        });
    }
    service::UpdateManifest manifest(bool withFile) const {
        service::UpdateManifest m;
        m.version = QStringLiteral("2.0");
        m.build = 20;
        m.download = QUrl(server.base().toString() + "/release.tar.gz");
        if (withFile) {
            m.file = QUrl(QStringLiteral("https://vexlin.app/file"));
        }
        return m;
    }
    bool run(const service::UpdateManifest& m) {
        std::optional<bool> result;
        QObject::connect(updater.get(), &service::SelfUpdate::finished,
                         [&](bool installed) { result = installed; });
        updater->install(m);
        if (!result) {
            testsupport::waitFor(10000, [&] { return result.has_value(); });
        }
        return result.value_or(false);
    }
};

TEST(SelfUpdate, InstallsASignedReleaseAndRelaunchesWithoutTheFlag) {
    for (const bool withLength : {false, true}) {
        SCOPED_TRACE(withLength);
        Fixture f;
        LocalHttpServer::Response response{200, f.archive, {}};
        response.noLength = !withLength;
        f.server.respond("/release.tar.gz", response);
        f.server.respond("/release.tar.gz.sig", {200, f.key.sign(f.archive), {}});
        std::optional<double> sawFraction;
        QObject::connect(&f.updater->progress(), &service::SelfUpdateProgress::phaseChanged, [&] {
            if (const auto fr = f.updater->progress().phase().fraction) {
                sawFraction = fr;
            }
        });
        ASSERT_TRUE(f.run(f.manifest(false)));
        // It starts out preparing, so the first change is to downloading.
        EXPECT_EQ(f.phases, (QList<Kind>{Kind::downloading, Kind::installing}));
        EXPECT_EQ(sawFraction.has_value(), withLength);
        EXPECT_EQ(testsupport::readAll(f.install + "/vexlin-capture"), "new program");
        ASSERT_EQ(f.started.size(), 1);
        EXPECT_EQ(f.started[0].first, f.install + "/vexlin-capture");
        EXPECT_EQ(f.started[0].second, QStringList{"--x"});
        EXPECT_TRUE(f.alerts.shown.isEmpty());
        // Only the new folder is left beside the old place.
        QStringList left =
            QDir(f.dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
        left.sort();
        EXPECT_EQ(left, (QStringList{"VexlinCapture", "release"}));
    }
}

TEST(SelfUpdate, EveryFailureLeavesTheFolderAndOffersTheDownload) {
    struct Case {
        const char* name;
        std::function<void(Fixture&)> setUp;
        bool withFile;
    };
    const Case cases[] = {
        {"bad signature",
         [](Fixture& f) {
             f.server.respond("/release.tar.gz", {200, f.archive, {}});
             f.server.respond("/release.tar.gz.sig", {200, f.key.sign("other"), {}});
         },
         true},
        {"truncated",
         [](Fixture& f) {
             // The server declares the whole archive and closes halfway.
             f.server.respond("/release.tar.gz",
                              {200,
                               f.archive.left(f.archive.size() / 2),
                               {{"Content-Length", QByteArray::number(f.archive.size())}},
                               false,
                               true});
             f.server.respond("/release.tar.gz.sig", {200, f.key.sign(f.archive), {}});
         },
         false},
        {"oversized",
         [](Fixture& f) {
             // Declares more than an archive may hold; nothing is written.
             f.server.respond("/release.tar.gz",
                              {200,
                               f.archive,
                               {{"Content-Length", QByteArray::number(600LL * 1024 * 1024)}},
                               false,
                               true});
             f.server.respond("/release.tar.gz.sig", {200, f.key.sign(f.archive), {}});
         },
         false},
        {"404", [](Fixture&) {}, true},
        {"relaunch fails",
         [](Fixture& f) {
             f.startSucceeds = false;
             f.server.respond("/release.tar.gz", {200, f.archive, {}});
             f.server.respond("/release.tar.gz.sig", {200, f.key.sign(f.archive), {}});
         },
         false},
        {"not an installed release",
         [](Fixture& f) { QFile::remove(f.install + "/.vexlin-release"); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        c.setUp(f);
        const auto before = snapshot(f.install);
        EXPECT_FALSE(f.run(f.manifest(c.withFile)));
        EXPECT_EQ(snapshot(f.install), before);
        ASSERT_EQ(f.alerts.shown.size(), 1);
        EXPECT_EQ(f.alerts.shown[0].message,
                  QStringLiteral("Vexlin Capture could not install the update"));
        EXPECT_EQ(f.alerts.shown[0].escapeButton, 1);
        ASSERT_EQ(f.opened.size(), 1);
        EXPECT_EQ(f.opened[0],
                  c.withFile ? QUrl("https://vexlin.app/file") : f.manifest(false).download);
        EXPECT_EQ(
            QDir(f.dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden).size(),
            2);
    }
}

} // namespace
