// A file manager on the session bus for the end-to-end tests: it serves
// org.freedesktop.FileManager1, writes each ShowItems request's URIs, one a
// line, to the file named on the command line, and prints "ready" once it
// owns the name.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QObject>
#include <QTextStream>

#include <cstdio>

class FileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    explicit FileManager(QString log) : log_(std::move(log)) {}

public Q_SLOTS:
    void ShowItems(const QStringList& uris, const QString&) {
        QFile file(log_);
        if (file.open(QIODevice::Append)) {
            QTextStream(&file) << uris.join(u'\n') << '\n';
        }
    }

private:
    QString log_;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fake_file_manager LOG\n");
        return 2;
    }
    FileManager manager(QString::fromLocal8Bit(argv[1]));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.FileManager1"))) {
        std::fprintf(stderr, "could not serve FileManager1\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

#include "fake_file_manager.moc"
