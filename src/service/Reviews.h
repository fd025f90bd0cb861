#pragma once

#include <QObject>
#include <QString>

class QAction;

namespace service {

// The review model as far as the menus need it: whether this installation has
// sent its one review, kept in the settings file under "reviewSent".
class Reviews : public QObject {
    Q_OBJECT
public:
    // Over the given settings file.
    explicit Reviews(QString settingsPath, QObject* parent = nullptr);

    // Over the program's settings file.
    static Reviews& shared();

    bool reviewSent() const;

    // "Review Sent" once a review was sent, else "Write a Review…".
    static QString menuItemTitle(bool sent);
    // Sets the item's title and enables it only while no review was sent.
    void updateMenuItem(QAction* item) const;

private:
    QString settingsPath_;
};

// Stands in for the review window until the product web service is built.
class ReviewWindowController {
public:
    static void show();
};

} // namespace service
