#include "platform/SingleInstance.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Role = platform::SingleInstance::Role;

// The running program lives on its own thread with its own event loop, as it
// would in its own process, so that a second start can talk to it from here.
class RunningProgram {
public:
    explicit RunningProgram(const QString& socket) {
        thread_.start();
        instance_ = std::make_unique<platform::SingleInstance>(socket);
        instance_->moveToThread(&thread_);
        QMetaObject::invokeMethod(
            instance_.get(), [this] { role_ = instance_->claim(); }, Qt::BlockingQueuedConnection);
        QObject::connect(
            instance_.get(), &platform::SingleInstance::reopenRequested, instance_.get(),
            [this] { ++reopens_; }, Qt::DirectConnection);
    }
    ~RunningProgram() {
        QMetaObject::invokeMethod(
            instance_.get(), [this] { instance_.reset(); }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }
    Role role() const { return role_; }
    int reopens() const { return reopens_.load(); }
    int openConnections() const {
        int open = 0;
        QMetaObject::invokeMethod(
            instance_.get(), [&] { open = instance_->openConnections(); },
            Qt::BlockingQueuedConnection);
        return open;
    }

private:
    QThread thread_;
    std::unique_ptr<platform::SingleInstance> instance_;
    std::atomic<int> reopens_{0};
    Role role_ = Role::Secondary;
};

TEST(SingleInstance, SecondStartAsksTheRunningProgramToReopen) {
    testsupport::TempDir dir;
    const QString socket = dir.file(QStringLiteral("app.socket"));
    RunningProgram first(socket);
    ASSERT_EQ(first.role(), Role::Primary);

    for (int start = 1; start <= 2; ++start) {
        platform::SingleInstance second(socket);
        EXPECT_EQ(second.claim(), Role::Secondary);
        EXPECT_FALSE(second.isListening());
        EXPECT_EQ(first.reopens(), start);
    }
}

TEST(SingleInstance, IdleConnectionsAreCappedAndDropped) {
    testsupport::TempDir dir;
    const QString socket = dir.file(QStringLiteral("app.socket"));
    RunningProgram first(socket);
    ASSERT_EQ(first.role(), Role::Primary);

    // Connections that never say anything, three times the cap, and one
    // that sends half a request.
    std::vector<std::unique_ptr<QLocalSocket>> idle;
    for (int i = 0; i < 3 * platform::SingleInstance::maxOpenConnections; ++i) {
        idle.push_back(std::make_unique<QLocalSocket>());
        idle.back()->connectToServer(socket);
        ASSERT_TRUE(idle.back()->waitForConnected(2000)) << i;
    }
    idle.back()->write("reo");
    ASSERT_TRUE(idle.back()->waitForBytesWritten(2000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return first.openConnections() == platform::SingleInstance::maxOpenConnections; },
        2000));

    // Every one is dropped by the program; never more than the cap at once.
    for (const auto& client : idle) {
        EXPECT_LE(first.openConnections(), platform::SingleInstance::maxOpenConnections);
        EXPECT_TRUE(client->state() == QLocalSocket::UnconnectedState ||
                    client->waitForDisconnected(10000));
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return first.openConnections() == 0; }, 2000));
    EXPECT_EQ(first.reopens(), 0);

    // The channel still works.
    platform::SingleInstance second(socket);
    EXPECT_EQ(second.claim(), Role::Secondary);
    EXPECT_EQ(first.reopens(), 1);
}

TEST(SingleInstance, SocketLeftByAnEndedProgramIsTakenOver) {
    testsupport::TempDir dir;
    const QString socket = dir.file(QStringLiteral("app.socket"));
    // What a killed program leaves behind: a path nobody listens on.
    testsupport::writeAll(socket, "stale");

    platform::SingleInstance instance(socket);
    EXPECT_EQ(instance.claim(), Role::Primary);
    EXPECT_TRUE(instance.isListening());
}

TEST(SingleInstance, ServerThatNeverAnswersDoesNotCountAsARunningProgram) {
    testsupport::TempDir dir;
    const QString socket = dir.file(QStringLiteral("app.socket"));
    QThread thread;
    thread.start();
    auto* mute = new QLocalServer;
    mute->moveToThread(&thread);
    bool listening = false;
    QMetaObject::invokeMethod(
        mute, [&] { listening = mute->listen(socket); }, Qt::BlockingQueuedConnection);
    ASSERT_TRUE(listening);

    platform::SingleInstance instance(socket);
    EXPECT_EQ(instance.claim(), Role::Primary);
    EXPECT_TRUE(instance.isListening());

    QMetaObject::invokeMethod(
        mute, [mute] { delete mute; }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
}

// A server that answers every request as the running program would, and
// counts what it was asked.
class AnsweringServer {
public:
    explicit AnsweringServer(const QString& socket) {
        thread_.start();
        server_ = new QLocalServer;
        server_->moveToThread(&thread_);
        QMetaObject::invokeMethod(
            server_,
            [this, socket] {
                listening_ = server_->listen(socket);
                QObject::connect(server_, &QLocalServer::newConnection, server_, [this] {
                    QLocalSocket* client = server_->nextPendingConnection();
                    QObject::connect(client, &QLocalSocket::readyRead, client, [this, client] {
                        while (client->canReadLine()) {
                            client->readLine();
                            ++requests_;
                            client->write("ok\n");
                        }
                    });
                });
            },
            Qt::BlockingQueuedConnection);
    }
    ~AnsweringServer() {
        QMetaObject::invokeMethod(
            server_, [this] { delete server_; }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }
    bool listening() const { return listening_; }
    int requests() const { return requests_.load(); }

private:
    QThread thread_;
    QLocalServer* server_ = nullptr;
    bool listening_ = false;
    std::atomic<int> requests_{0};
};

TEST(SingleInstance, ASocketInAFolderOthersCanWriteIsNeitherAskedNorUsed) {
    struct Case {
        const char* name;
        mode_t mode;
        bool throughLink;
    };
    const Case cases[] = {
        {"shared like /tmp", 01777, false},
        {"writable by its group", 0770, false},
        {"readable by others", 0755, false},
        {"our own folder, reached through a link", 0700, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir dir;
        const QString real = dir.file(QStringLiteral("folder"));
        ASSERT_TRUE(QDir().mkpath(real));
        ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), c.mode), 0);
        QString folder = real;
        if (c.throughLink) {
            folder = dir.file(QStringLiteral("link"));
            ASSERT_TRUE(QFile::link(real, folder));
        }
        const QString socket = folder + QStringLiteral("/app.socket");
        // Anyone who may write there could have put this server in place.
        AnsweringServer stranger(socket);
        ASSERT_TRUE(stranger.listening());

        platform::SingleInstance instance(socket);
        EXPECT_EQ(instance.claim(), Role::Primary);
        EXPECT_FALSE(instance.isListening());
        EXPECT_EQ(stranger.requests(), 0);
    }
}

// Puts XDG_RUNTIME_DIR back as it was when the test ends.
class RuntimeFolderOverride {
public:
    RuntimeFolderOverride() {
        if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
            old_ = qgetenv("XDG_RUNTIME_DIR");
        }
    }
    ~RuntimeFolderOverride() {
        if (old_) {
            qputenv("XDG_RUNTIME_DIR", *old_);
        } else {
            qunsetenv("XDG_RUNTIME_DIR");
        }
    }

private:
    std::optional<QByteArray> old_;
};

TEST(SingleInstance, WithoutARuntimeFolderTheSocketLiesInAFolderMadeForThisUser) {
    testsupport::TempDir dir;
    const QString temp = dir.file(QStringLiteral("tmp"));
    ASSERT_TRUE(QDir().mkpath(temp));
    const testsupport::TempPathOverride tempPath(temp);
    const RuntimeFolderOverride runtimeFolder;
    const QString ours = temp + QStringLiteral("/vexlin-capture-%1").arg(::geteuid());
    const QString expected = ours + QStringLiteral("/vexlin-capture.socket");

    // No runtime folder, or one others may write: our own folder, made 0700.
    const QString openRuntime = dir.file(QStringLiteral("runtime"));
    ASSERT_TRUE(QDir().mkpath(openRuntime));
    ::chmod(QFile::encodeName(openRuntime).constData(), 0755);
    for (const QString& runtime : {QString(), openRuntime}) {
        SCOPED_TRACE(runtime.toStdString());
        if (runtime.isEmpty()) {
            qunsetenv("XDG_RUNTIME_DIR");
        } else {
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        }
        EXPECT_EQ(platform::SingleInstance::defaultSocketPath(), expected);
        struct stat info {};
        ASSERT_EQ(::lstat(QFile::encodeName(ours).constData(), &info), 0);
        EXPECT_TRUE(S_ISDIR(info.st_mode));
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }

    // A private runtime folder holds it itself.
    const QString runtime = dir.file(QStringLiteral("private-runtime"));
    ASSERT_TRUE(QDir().mkpath(runtime));
    ::chmod(QFile::encodeName(runtime).constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    EXPECT_EQ(platform::SingleInstance::defaultSocketPath(),
              runtime + QStringLiteral("/vexlin-capture.socket"));

    // Someone else's thing at our folder's name is not taken for it: a link
    // to a private folder, or a folder others can write.
    qunsetenv("XDG_RUNTIME_DIR");
    QDir(ours).removeRecursively();
    ASSERT_TRUE(QFile::link(runtime, ours));
    EXPECT_EQ(platform::SingleInstance::defaultSocketPath(), QString());
    QFile::remove(ours);
    ASSERT_TRUE(QDir().mkpath(ours));
    ::chmod(QFile::encodeName(ours).constData(), 0777);
    EXPECT_EQ(platform::SingleInstance::defaultSocketPath(), QString());
}

TEST(SingleInstance, UnusableFolderStillRunsTheProgram) {
    platform::SingleInstance instance(QStringLiteral("/nonexistent-folder/app.socket"));
    EXPECT_EQ(instance.claim(), Role::Primary);
    EXPECT_FALSE(instance.isListening());
}

} // namespace
