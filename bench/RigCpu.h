#pragma once

// CPU time on the test rig (scripts/x11-rig.sh) for the benchmarks that run
// on its X server: this process's (or its finished children's) and the X
// server's, which does the grabbing work a recorder asks of it.

#include <QByteArray>
#include <QEventLoop>
#include <QFile>
#include <QList>
#include <QString>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

namespace bench {

// User + system seconds of `who` (RUSAGE_SELF or RUSAGE_CHILDREN).
inline double processSeconds(int who = RUSAGE_SELF) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds of the X server: the Xvfb that the test rig, our parent,
// started beside us; 0 when there is none.
inline double serverSeconds() {
    const QString parent = QString::number(getppid());
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(parent));
    if (!children.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& pid : children.readAll().trimmed().split(' ')) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(pid)));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != "Xvfb") {
            continue;
        }
        QFile stat(QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pid)));
        if (!stat.open(QIODevice::ReadOnly)) {
            return 0;
        }
        const QList<QByteArray> fields = stat.readAll().split(')').value(1).split(' ');
        // After the name: utime and stime are fields 14 and 15 (1-based).
        const double ticks = fields.value(12).toDouble() + fields.value(13).toDouble();
        return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
    }
    return 0;
}

// Lets the event loop run for a while (windows map, frames are grabbed).
inline void runFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace bench
