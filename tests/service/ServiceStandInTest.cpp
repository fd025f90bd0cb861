#include "service/Reviews.h"
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

} // namespace
