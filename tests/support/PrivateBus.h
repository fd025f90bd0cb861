#pragma once

#include "support/TempDir.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QProcess>
#include <QStringList>

namespace testsupport {

// A session bus of the test's own, without service activation, so that no
// program installed on the machine answers in place of the test's.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool running() const { return !address_.isEmpty(); }
    QString address() const { return address_; }
    // A connection of its own, under `name`, closed with the bus.
    QDBusConnection connect(const QString& name);

private:
    TempDir dir_;
    QProcess daemon_;
    QString address_;
    QStringList names_;
};

// Answers ShowItems as the desktop's file manager would, or refuses.
class FakeFileManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList uris;
    QString startupId;
    int calls = 0;
    bool refuse = false;

    // Offers itself as org.freedesktop.FileManager1 on `bus`.
    bool serveOn(QDBusConnection bus);

public Q_SLOTS:
    void ShowItems(const QStringList& items, const QString& startup);
};

} // namespace testsupport
