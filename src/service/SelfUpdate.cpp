#include "service/SelfUpdate.h"

#include "app/AlertPresenter.h"
#include "app/AppPresence.h"
#include "app/BrandIcon.h"
#include "platform/MemoryRelease.h"
#include "service/ReleaseUnpacker.h"
#include "service/ServiceAddress.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <openssl/evp.h>

#include <algorithm>

#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <unistd.h>

namespace service {

namespace {

// What the network thread may hold of a download before we have read it: it
// stops reading from the socket there, so a fast server cannot fill memory
// while the main thread writes to disk.
constexpr qint64 archiveReadBuffer = 256 * 1024;

// The panel: the program's icon beside the title and the status, a bar and
// the one button of the phase.
class UpdatePanel : public QWidget {
public:
    UpdatePanel(SelfUpdateProgress& progress, std::function<void()> cancel,
                std::function<void()> restart)
        : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint), progress_(progress) {
        setObjectName(QStringLiteral("selfUpdatePanel"));
        setAttribute(Qt::WA_DeleteOnClose);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(20, 20, 20, 20);
        layout->setSpacing(14);
        auto* header = new QHBoxLayout;
        header->setSpacing(14);
        auto* icon = new QLabel(this);
        icon->setObjectName(QStringLiteral("appIcon"));
        icon->setFixedSize(52, 52);
        const QIcon appIcon = QApplication::windowIcon().isNull()
                                  ? app::BrandIcon::applicationIcon()
                                  : QApplication::windowIcon();
        icon->setPixmap(appIcon.pixmap(QSize(52, 52), devicePixelRatioF()));
        header->addWidget(icon, 0, Qt::AlignVCenter);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(3);
        //: Update progress window: title
        auto* title = new QLabel(QObject::tr("Updating Vexlin Capture"), this);
        title->setObjectName(QStringLiteral("title"));
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        status_ = new QLabel(this);
        status_->setObjectName(QStringLiteral("status"));
        status_->setWordWrap(true);
        QPalette secondary = status_->palette();
        secondary.setColor(QPalette::WindowText, secondary.color(QPalette::PlaceholderText));
        status_->setPalette(secondary);
        QFont smaller = status_->font();
        smaller.setPointSizeF(smaller.pointSizeF() * 0.92);
        status_->setFont(smaller);
        texts->addWidget(title);
        texts->addWidget(status_);
        header->addLayout(texts, 1);
        layout->addLayout(header);
        bar_ = new QProgressBar(this);
        bar_->setTextVisible(false);
        bar_->setFixedHeight(8);
        layout->addWidget(bar_);
        layout->addStretch(1);
        auto* row = new QHBoxLayout;
        row->addStretch(1);
        //: Update progress window: stops the update
        cancel_ = new QPushButton(QObject::tr("Cancel"), this);
        cancel_->setObjectName(QStringLiteral("cancel"));
        QObject::connect(cancel_, &QPushButton::clicked, this, std::move(cancel));
        row->addWidget(cancel_);
        restart_ = new QPushButton(
            //: Settings: relaunches Vexlin Capture, so a change of the session applies
            QCoreApplication::translate("SettingsPanes", "Restart Vexlin Capture"), this);
        restart_->setObjectName(QStringLiteral("restart"));
        restart_->setDefault(true);
        QObject::connect(restart_, &QPushButton::clicked, this, std::move(restart));
        row->addWidget(restart_);
        layout->addLayout(row);
        QObject::connect(&progress, &SelfUpdateProgress::phaseChanged, this, [this] { refresh(); });
        // 380 wide, and high enough for the tallest phase (each status
        // wrapped at that width, with the bar and the buttons): the panel
        // keeps its size while the phases change.
        int height = 150;
        for (const auto kind :
             {SelfUpdateProgress::Kind::preparing, SelfUpdateProgress::Kind::downloading,
              SelfUpdateProgress::Kind::installing, SelfUpdateProgress::Kind::waitingToQuit}) {
            status_->setText(SelfUpdate::statusText(kind));
            // A label not shown yet leaves its layouts' measures as they were.
            for (QLayout* measured : std::initializer_list<QLayout*>{texts, header, layout}) {
                measured->invalidate();
            }
            height = std::max(height, layout->totalHeightForWidth(380));
        }
        setFixedSize(380, height);
        refresh();
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const int key = event->key();
        if (key == Qt::Key_Escape && cancel_->isVisible()) {
            cancel_->click();
        } else if ((key == Qt::Key_Return || key == Qt::Key_Enter) && restart_->isVisible()) {
            restart_->click();
        } else {
            QWidget::keyPressEvent(event);
        }
    }

private:
    void refresh() {
        const SelfUpdateProgress::Phase& phase = progress_.phase();
        status_->setText(SelfUpdate::statusText(phase.kind));
        if (phase.kind == SelfUpdateProgress::Kind::downloading && phase.fraction) {
            bar_->setRange(0, 1000);
            bar_->setValue(int(*phase.fraction * 1000));
        } else {
            bar_->setRange(0, 0);
        }
        const bool waiting = phase.kind == SelfUpdateProgress::Kind::waitingToQuit;
        bar_->setVisible(!waiting);
        cancel_->setVisible(phase.kind == SelfUpdateProgress::Kind::downloading ||
                            phase.kind == SelfUpdateProgress::Kind::preparing);
        restart_->setVisible(waiting);
    }

    SelfUpdateProgress& progress_;
    QLabel* status_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* restart_ = nullptr;
};

QByteArray base64Strict(const QByteArray& text) {
    const auto decoded =
        QByteArray::fromBase64Encoding(text.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? *decoded : QByteArray();
}

} // namespace

const QString SelfUpdate::releaseMarker = QStringLiteral(".vexlin-release");

void SelfUpdateProgress::setPhase(const Phase& phase) {
    if (phase_ == phase) {
        return;
    }
    phase_ = phase;
    Q_EMIT phaseChanged();
}

SelfUpdate::SelfUpdate(Environment environment, QObject* parent)
    : QObject(parent)
    , env_(std::move(environment))
    , network_(std::make_unique<QNetworkAccessManager>()) {
    network_->setCookieJar(nullptr);
    // A program that quits in the middle of an update leaves no half-fetched
    // archive or unpacked release beside the installed folder.
    if (QCoreApplication* application = QCoreApplication::instance()) {
        connect(application, &QCoreApplication::aboutToQuit, this, &SelfUpdate::abandon);
    }
}

SelfUpdate::~SelfUpdate() {
    if (reply_) {
        reply_->abort();
    }
    stopWorker();
    close();
}

QByteArray SelfUpdate::builtInPublicKey() {
    // The public half of the release signing key. The private half stays with
    // whoever signs the releases and is nowhere in this source.
    return QByteArray::fromHex("fe27d16dffe980941b1203b175bf96fe789ff34d4f10d6b9fbc7435ef7324749");
}

void SelfUpdate::setProgramHooks(
    std::function<bool(const QString&, const QStringList&)> startDetached,
    std::function<bool()> canQuit) {
    env_.startDetached = std::move(startDetached);
    env_.canQuit = std::move(canQuit);
}

SelfUpdate& SelfUpdate::shared() {
    static SelfUpdate* instance = [] {
        const QString program = QCoreApplication::applicationFilePath();
        const QString folder = QFileInfo(program).absolutePath();
        QStringList arguments = QCoreApplication::arguments();
        if (!arguments.isEmpty()) {
            arguments.removeFirst();
        }
        return new SelfUpdate(Environment{
            .installFolder = folder,
            .executable = QFileInfo(program).fileName(),
            .publicKey = builtInPublicKey(),
            .arguments = arguments,
            // The program replaces both with its own (setProgramHooks): a
            // copy started while this one runs would only hand itself over.
            .startDetached = {},
            .canQuit = {},
            .quit = [] { app::terminateApplication(); },
            .openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); },
            .hostName = configuredServiceBase().host(),
        });
    }();
    return *instance;
}

QString SelfUpdate::statusText(SelfUpdateProgress::Kind kind) {
    switch (kind) {
    case SelfUpdateProgress::Kind::downloading:
        //: Update progress window
        return tr("Downloading…");
    case SelfUpdateProgress::Kind::preparing:
        //: Update progress window
        return tr("Getting ready…");
    case SelfUpdateProgress::Kind::installing:
        //: Update progress window
        return tr("Installing. Vexlin Capture opens again in a moment.");
    case SelfUpdateProgress::Kind::waitingToQuit:
        //: Update progress window
        return tr("Vexlin Capture needs to quit to finish. Save what you are editing, then click "
                  "Restart Vexlin Capture.");
    }
    return {};
}

bool SelfUpdate::verifySignature(const QByteArray& publicKey, const uchar* data, qint64 size,
                                 const QByteArray& signature) {
    if (publicKey.size() != 32 || signature.size() != 64) {
        return false;
    }
    EVP_PKEY* key = EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(publicKey.constData()),
        size_t(publicKey.size()));
    if (!key) {
        return false;
    }
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    bool valid =
        context && EVP_DigestVerifyInit(context, nullptr, nullptr, nullptr, key) == 1 &&
        EVP_DigestVerify(context, reinterpret_cast<const unsigned char*>(signature.constData()),
                         size_t(signature.size()), data, size_t(size)) == 1;
    EVP_MD_CTX_free(context);
    EVP_PKEY_free(key);
    return valid;
}

QString SelfUpdate::checkFolder() const {
    const QFileInfo folder(env_.installFolder);
    if (!folder.isDir() ||
        !QFileInfo::exists(folder.absoluteFilePath() + QLatin1Char('/') + releaseMarker)) {
        return QStringLiteral("not an installed release");
    }
    return {};
}

void SelfUpdate::install(const UpdateManifest& manifest) {
    fallback_ = manifest.manualDownload();
    if (running_) {
        // Already under way: its panel comes forward, opened anew when it
        // was closed.
        show(progress_.phase());
        if (panel_) {
            panel_->raise();
            panel_->activateWindow();
        }
        return;
    }
    if (!checkFolder().isEmpty()) {
        Q_EMIT finished(false);
        showFailure();
        return;
    }
    const QString parent = QFileInfo(env_.installFolder).absolutePath();
    work_ = std::make_unique<QTemporaryDir>(parent + QStringLiteral("/.vexlin-update-XXXXXX"));
    if (!work_->isValid()) {
        // The parent is not writable: the folder cannot be swapped.
        work_.reset();
        Q_EMIT finished(false);
        showFailure();
        return;
    }
    running_ = true;
    show({SelfUpdateProgress::Kind::preparing, std::nullopt});
    startDownload(manifest);
}

void SelfUpdate::startDownload(const UpdateManifest& manifest) {
    download_ = manifest.download;
    archive_ = std::make_unique<QFile>(work_->filePath(QStringLiteral("archive")));
    if (!archive_->open(QIODevice::WriteOnly)) {
        fail();
        return;
    }
    QNetworkRequest request(download_);
    applyServicePolicy(request);
    request.setRawHeader("User-Agent", "Vexlin");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    expectedLength_ = 0;
    receivedLength_ = 0;
    reply_ = network_->get(request);
    reply_->setReadBufferSize(archiveReadBuffer);
    guardServiceRedirects(reply_);
    limitTotalTime(reply_, env_.archiveDeadline);
    show({SelfUpdateProgress::Kind::downloading, std::nullopt});
    QNetworkReply* reply = reply_;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > 0 && expectedLength_ == 0) {
            expectedLength_ = length.toLongLong();
            if (expectedLength_ > maximumArchiveSize) {
                reply->abort();
                return;
            }
            show({SelfUpdateProgress::Kind::downloading, 0.0});
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        // Straight to the file: what is held here is one read buffer at most.
        const QByteArray chunk = reply->readAll();
        receivedLength_ += chunk.size();
        const qint64 limit = expectedLength_ > 0 ? expectedLength_ : maximumArchiveSize;
        if (receivedLength_ > limit || archive_->write(chunk) != chunk.size()) {
            reply->abort();
            return;
        }
        if (expectedLength_ == 0) {
            show({SelfUpdateProgress::Kind::downloading, std::nullopt});
        } else {
            show({SelfUpdateProgress::Kind::downloading,
                  std::min(1.0, double(receivedLength_) / double(expectedLength_))});
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        downloaded();
    });
}

void SelfUpdate::downloaded() {
    QNetworkReply* reply = reply_;
    if (!reply || !running_) {
        return;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::OperationCanceledError && !work_) {
        return; // the user cancelled
    }
    const QByteArray rest = reply->isOpen() ? reply->readAll() : QByteArray();
    receivedLength_ += rest.size();
    archive_->write(rest);
    archive_->close();
    const bool truncated = expectedLength_ > 0 && receivedLength_ != expectedLength_;
    if (reply->error() != QNetworkReply::NoError || status != 200 || truncated ||
        receivedLength_ > maximumArchiveSize) {
        // 404 and 410 (not found) end the same way as any other failure.
        fail();
        return;
    }
    fetchSignature();
}

void SelfUpdate::fetchSignature() {
    QUrl url = download_;
    url.setPath(url.path() + QStringLiteral(".sig"));
    QNetworkRequest request(url);
    applyServicePolicy(request);
    request.setRawHeader("User-Agent", "Vexlin");
    reply_ = network_->get(request);
    reply_->setReadBufferSize(maximumSignatureSize + 1);
    guardServiceRedirects(reply_);
    limitTotalTime(reply_, env_.signatureDeadline);
    QNetworkReply* reply = reply_;
    // A signature is a line of text: anything longer is refused the moment
    // it shows, declared or streamed, and the transfer ends there.
    auto text = std::make_shared<QByteArray>();
    const auto tooLong = [reply, text] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        return text->size() > maximumSignatureSize ||
               (length.isValid() && length.toLongLong() > maximumSignatureSize);
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, tooLong] {
        if (tooLong()) {
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, [reply, text, tooLong] {
        text->append(reply->read(maximumSignatureSize + 1 - text->size()));
        if (tooLong()) {
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, text, tooLong] {
        reply->deleteLater();
        if (!running_) {
            return;
        }
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->isOpen()) {
            text->append(reply->read(maximumSignatureSize + 1 - text->size()));
        }
        if (reply->error() != QNetworkReply::NoError || status != 200 || tooLong()) {
            fail();
            return;
        }
        verifyAndInstall(base64Strict(*text));
    });
}

void SelfUpdate::verifyAndInstall(const QByteArray& signature) {
    // A large archive takes a moment to check and to unpack: both run off the
    // main thread, which keeps drawing the panel meanwhile.
    const QString archive = archive_->fileName();
    const QByteArray key = env_.publicKey;
    runOffThread(
        [archive, key, signature] {
            QFile file(archive);
            if (!file.open(QIODevice::ReadOnly) || file.size() == 0) {
                return QStringLiteral("no archive");
            }
            const uchar* data = file.map(0, file.size());
            return data && verifySignature(key, data, file.size(), signature)
                       ? QString()
                       : QStringLiteral("bad signature");
        },
        [this](const QString& problem) {
            if (!problem.isEmpty()) {
                fail();
                return;
            }
            unpack();
        });
}

void SelfUpdate::unpack() {
    // From here on the update can no longer be cancelled.
    show({SelfUpdateProgress::Kind::installing, std::nullopt});
    const QString staging = work_->filePath(QStringLiteral("staging"));
    if (!QDir().mkpath(staging)) {
        fail();
        return;
    }
    ReleaseUnpacker unpacker{.maximumBytes = env_.maximumUnpackedSize,
                             .maximumEntries = ReleaseUnpacker::defaultMaximumEntries,
                             .cancelled = stopWorker_.get()};
    const QString archive = archive_->fileName();
    runOffThread([unpacker, archive, staging] { return unpacker.unpack(archive, staging); },
                 [this, staging](const QString& problem) {
                     if (!problem.isEmpty() ||
                         !QFileInfo::exists(staging + QLatin1Char('/') + releaseMarker) ||
                         !QFileInfo(staging + QLatin1Char('/') + env_.executable).isExecutable()) {
                         if (!problem.isEmpty()) {
                             qWarning("update refused: %s", qPrintable(problem));
                         }
                         fail();
                         return;
                     }
                     staging_ = staging;
                     finishInstalling();
                 });
}

void SelfUpdate::runOffThread(std::function<QString()> work,
                              std::function<void(const QString&)> then) {
    stopWorker_->store(false);
    if (worker_) {
        // This may run from the finished signal of the one before.
        worker_.release()->deleteLater();
    }
    worker_ = std::make_unique<QFutureWatcher<QString>>();
    QFutureWatcher<QString>* watcher = worker_.get();
    connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher, then] {
        const QString result = watcher->result();
        // Dropped meanwhile (cancelled, abandoned): its folder is gone.
        if (!running_ || stopWorker_->load()) {
            return;
        }
        then(result);
    });
    watcher->setFuture(QtConcurrent::run(std::move(work)));
}

void SelfUpdate::stopWorker() {
    if (worker_) {
        stopWorker_->store(true);
        worker_->waitForFinished();
    }
}

void SelfUpdate::finishInstalling() {
    if (env_.canQuit && !env_.canQuit()) {
        // Quitting now would lose what the user is editing. The installed
        // folder stays as it is until Restart finds nothing left to lose.
        show({SelfUpdateProgress::Kind::waitingToQuit, std::nullopt});
        return;
    }
    show({SelfUpdateProgress::Kind::installing, std::nullopt});
    if (!swapAndRelaunch(staging_)) {
        fail();
        return;
    }
    running_ = false;
    cleanUp();
    close();
    Q_EMIT finished(true);
    if (env_.quit) {
        env_.quit();
    }
}

void SelfUpdate::abandon() {
    if (!running_) {
        return;
    }
    running_ = false;
    if (reply_) {
        reply_->abort();
    }
    cleanUp();
    close();
}

void SelfUpdate::restart() {
    if (running_ && progress_.phase().kind == SelfUpdateProgress::Kind::waitingToQuit) {
        finishInstalling();
    }
}

bool SelfUpdate::swapAndRelaunch(const QString& staging) {
    const QByteArray from = QFile::encodeName(staging);
    const QByteArray to = QFile::encodeName(env_.installFolder);
    if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) != 0) {
        return false;
    }
    QStringList arguments = env_.arguments;
    arguments.removeAll(QStringLiteral("-VexlinInstallUpdateNow"));
    const QString program = env_.installFolder + QLatin1Char('/') + env_.executable;
    if (env_.startDetached && env_.startDetached(program, arguments)) {
        return true;
    }
    // The new copy would not start: put the old one back.
    renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE);
    return false;
}

void SelfUpdate::cleanUp() {
    // The folder goes only once nothing works in it any more.
    stopWorker();
    staging_.clear();
    archive_.reset();
    if (work_) {
        work_->remove();
        work_.reset();
    }
    // The network thread's buffers of a large download are free now but
    // would stay with the process.
    platform::returnFreeMemory();
}

void SelfUpdate::fail() {
    running_ = false;
    cleanUp();
    Q_EMIT finished(false);
    showFailure();
}

void SelfUpdate::cancel() {
    const SelfUpdateProgress::Kind kind = progress_.phase().kind;
    if (kind == SelfUpdateProgress::Kind::installing ||
        kind == SelfUpdateProgress::Kind::waitingToQuit) {
        return;
    }
    running_ = false;
    if (reply_) {
        reply_->abort();
    }
    cleanUp();
    close();
    Q_EMIT finished(false);
}

void SelfUpdate::show(const SelfUpdateProgress::Phase& phase) {
    progress_.setPhase(phase);
    if (!panel_ && env_.showPanel) {
        auto* panel = new UpdatePanel(
            progress_, [this] { cancel(); }, [this] { restart(); });
        panel_ = panel;
        app::centreOnScreen(panel);
        panel->show();
        panel->raise();
        panel->activateWindow();
    }
}

void SelfUpdate::close() {
    if (panel_) {
        panel_->close();
        panel_ = nullptr;
    }
}

void SelfUpdate::showFailure() {
    close();
    app::Alert alert;
    alert.warning = true;
    //: Update: installing failed
    alert.message = tr("Vexlin Capture could not install the update");
    //: Update: installing failed
    alert.informativeText = tr("Download it from %1 instead, then unpack the new Vexlin Capture "
                               "in place of this one. Your settings stay.")
                                .arg(env_.hostName);
    //: Update alert: downloads the new version
    alert.buttons = {tr("Download"), tr("Cancel")};
    alert.escapeButton = 1;
    if (app::AlertPresenter::current().run(alert) == 0 && fallback_ && env_.openUrl) {
        env_.openUrl(*fallback_);
    }
}

} // namespace service
