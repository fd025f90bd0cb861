#pragma once

#include "service/ReleaseUnpacker.h"
#include "service/UpdateManifest.h"

#include <QByteArray>
#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;
class QTemporaryDir;

namespace service {

// What the update panel shows.
class SelfUpdateProgress : public QObject {
    Q_OBJECT
public:
    enum class Kind { downloading, preparing, installing, waitingToQuit };
    struct Phase {
        Kind kind = Kind::preparing;
        // Of a download, 0 to 1; none while the size is unknown.
        std::optional<double> fraction;
        bool operator==(const Phase&) const = default;
    };
    const Phase& phase() const { return phase_; }
    void setPhase(const Phase& phase);

Q_SIGNALS:
    void phaseChanged();

private:
    Phase phase_;
};

// Installs a release in place: downloads its archive next to the installed
// folder, checks the archive's Ed25519 signature, unpacks it, swaps the
// folders in one step and starts the new copy. Whatever goes wrong leaves the
// installed folder as it was and offers the download instead.
class SelfUpdate : public QObject {
    Q_OBJECT
public:
    // The file that marks a folder as an installed release the updater may
    // replace; a build tree or a distribution package has none.
    static const QString releaseMarker;
    // The largest archive accepted.
    static constexpr qint64 maximumArchiveSize = 512LL * 1024 * 1024;
    // The largest signature file accepted; a signature is 88 characters.
    static constexpr qint64 maximumSignatureSize = 4096;
    // What each download may take in all, however steadily it trickles.
    static constexpr std::chrono::milliseconds archiveDeadline = std::chrono::minutes(15);
    static constexpr std::chrono::milliseconds signatureDeadline = std::chrono::seconds(20);

    struct Environment {
        // The installed folder that is replaced.
        QString installFolder;
        // The program inside it, relative to the folder.
        QString executable;
        // Raw 32-byte Ed25519 public key the archives are signed with.
        QByteArray publicKey;
        // The running program's arguments, without the program itself.
        QStringList arguments;
        // Starts the new copy once this process has ended.
        std::function<bool(const QString& program, const QStringList& arguments)> startDetached;
        // Whether the program may quit now without losing work the user has
        // not saved; unset means it may.
        std::function<bool()> canQuit;
        // Ends this process at once, asking no window.
        std::function<void()> quit;
        std::function<void(const QUrl&)> openUrl;
        // The host name the failure alert names.
        QString hostName;
        // Whether the panel is shown (tests may leave it hidden).
        bool showPanel = true;
        std::chrono::milliseconds archiveDeadline = SelfUpdate::archiveDeadline;
        std::chrono::milliseconds signatureDeadline = SelfUpdate::signatureDeadline;
        // The most a release may unpack to.
        qint64 maximumUnpackedSize = ReleaseUnpacker::defaultMaximumBytes;
    };

    explicit SelfUpdate(Environment environment, QObject* parent = nullptr);
    ~SelfUpdate() override;
    static SelfUpdate& shared();
    // The built-in key of the released archives.
    static QByteArray builtInPublicKey();

    // Checks `signature` (raw 64 bytes) of `data` against `publicKey`.
    static bool verifySignature(const QByteArray& publicKey, const uchar* data, qint64 size,
                                const QByteArray& signature);

    // The program's own ways to start the new copy and to tell whether it
    // may quit, for the shared updater.
    void setProgramHooks(std::function<bool(const QString&, const QStringList&)> startDetached,
                         std::function<bool()> canQuit);

    void install(const UpdateManifest& manifest);
    void cancel();
    // Tries again to quit and finish an update that waits for it.
    void restart();
    // Drops an update under way, the archive and the unpacked release with
    // it, and leaves the installed folder as it is; the program does this
    // when it quits.
    void abandon();
    void close();
    bool isPanelOpen() const { return panel_ != nullptr; }
    QWidget* panel() const { return panel_; }
    SelfUpdateProgress& progress() { return progress_; }
    const std::optional<QUrl>& fallback() const { return fallback_; }

    // The panel's status text for a phase.
    static QString statusText(SelfUpdateProgress::Kind kind);

Q_SIGNALS:
    // The update is over: installed and relaunched (true), or failed or
    // cancelled (false).
    void finished(bool installed);

private:
    void show(const SelfUpdateProgress::Phase& phase);
    void showFailure();
    void fail();
    void startDownload(const UpdateManifest& manifest);
    void downloaded();
    void fetchSignature();
    void verifyAndInstall(const QByteArray& signature);
    void unpack();
    // Runs `work` on a pool thread and hands its result to `then` on this
    // thread, unless the update was dropped meanwhile.
    void runOffThread(std::function<QString()> work, std::function<void(const QString&)> then);
    // Asks the work under way to stop and waits for it.
    void stopWorker();
    void finishInstalling();
    bool swapAndRelaunch(const QString& staging);
    void cleanUp();
    QString checkFolder() const;

    Environment env_;
    SelfUpdateProgress progress_;
    std::unique_ptr<QNetworkAccessManager> network_;
    QPointer<QWidget> panel_;
    std::optional<QUrl> fallback_;
    std::unique_ptr<QTemporaryDir> work_;
    std::unique_ptr<QFile> archive_;
    QPointer<QNetworkReply> reply_;
    QUrl download_;
    qint64 expectedLength_ = 0;
    qint64 receivedLength_ = 0;
    // The unpacked release, while it waits for the program to quit.
    QString staging_;
    bool running_ = false;
    std::unique_ptr<QFutureWatcher<QString>> worker_;
    std::unique_ptr<std::atomic<bool>> stopWorker_ = std::make_unique<std::atomic<bool>>(false);
};

} // namespace service
