#include "platform/SingleInstance.h"
#include "support/TempDir.h"

#include <QFile>
#include <QLocalServer>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

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
