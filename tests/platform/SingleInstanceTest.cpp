#include "platform/SingleInstance.h"
#include "support/TempDir.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

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

TEST(SingleInstance, UnusableFolderStillRunsTheProgram) {
    platform::SingleInstance instance(QStringLiteral("/nonexistent-folder/app.socket"));
    EXPECT_EQ(instance.claim(), Role::Primary);
    EXPECT_FALSE(instance.isListening());
}

} // namespace
