#include "service/Reviews.h"
#include "service/Updates.h"
#include "support/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QSettings>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(Reviews, MenuItemFollowsTheStoredSentFlag) {
    testsupport::TempDir dir;
    const QString file = dir.file(QStringLiteral("VexlinCapture.conf"));
    const service::Reviews reviews(file);
    QAction item;

    struct Case {
        QVariant stored;
        const char* title;
        bool enabled;
    };
    const Case cases[] = {
        {QVariant(), "Write a Review…", true},
        {QVariant(false), "Write a Review…", true},
        {QVariant(true), "Review Sent", false},
    };
    for (const Case& c : cases) {
        {
            QSettings store(file, QSettings::IniFormat);
            c.stored.isValid() ? store.setValue(QStringLiteral("reviewSent"), c.stored)
                               : store.remove(QStringLiteral("reviewSent"));
        }
        reviews.updateMenuItem(&item);
        EXPECT_EQ(item.text(), QString::fromUtf8(c.title));
        EXPECT_EQ(item.isEnabled(), c.enabled);
    }
}

TEST(Updates, StandInNeverAnnouncesAnythingAndSaysItCannotCheck) {
    service::Updates& updates = service::Updates::shared();
    updates.start();
    updates.check(false);
    EXPECT_FALSE(updates.available().has_value());
    const QWidgetList before = QApplication::topLevelWidgets();
    EXPECT_TRUE(std::none_of(before.begin(), before.end(),
                             [](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; }));

    updates.check(true);
    QMessageBox* shown = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
            shown = box;
        }
    }
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text(), service::Updates::unavailableMessage());
    EXPECT_FALSE(shown->text().contains(QStringLiteral("up to date"), Qt::CaseInsensitive));
    shown->close();
    EXPECT_FALSE(updates.available().has_value());
}

} // namespace
