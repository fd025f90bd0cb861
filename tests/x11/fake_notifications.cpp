// A notification server on the session bus for the end-to-end tests: it
// serves org.freedesktop.Notifications, appends each Notify request's app
// name, summary and body, tab-separated, one a line, to the file named on the
// command line, and prints "ready" once it owns the name.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QObject>
#include <QTextStream>
#include <QVariantMap>

#include <cstdio>

class Notifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit Notifications(QString log) : log_(std::move(log)) {}

public Q_SLOTS:
    uint Notify(const QString& appName, uint /*replaces*/, const QString& /*icon*/,
                const QString& summary, const QString& body, const QStringList& /*actions*/,
                const QVariantMap& /*hints*/, int /*timeout*/) {
        QFile file(log_);
        if (file.open(QIODevice::Append)) {
            QTextStream(&file) << appName << '\t' << summary << '\t' << body << '\n';
        }
        return ++lastId_;
    }

private:
    QString log_;
    uint lastId_ = 0;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fake_notifications LOG\n");
        return 2;
    }
    Notifications server(QString::fromLocal8Bit(argv[1]));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
        std::fprintf(stderr, "could not serve Notifications\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

#include "fake_notifications.moc"
