// The program's alerts as they open: the icon says what kind of news they
// bring, and the first button holds the focus, so that Return presses it,
// whichever way the alert is shown.
#include "app/AlertPresenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

app::Alert twoButtons(bool warning, bool critical) {
    app::Alert alert;
    alert.message = QStringLiteral("Vexlin Capture could not install the update");
    alert.buttons = {QStringLiteral("Download"), QStringLiteral("Cancel")};
    alert.escapeButton = 1;
    alert.warning = warning;
    alert.critical = critical;
    return alert;
}

QMessageBox* openAlert() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

TEST(Alerts, IconSaysTheKind) {
    struct Case {
        bool warning;
        bool critical;
        QMessageBox::Icon icon;
    };
    const Case cases[] = {
        {false, false, QMessageBox::Information},
        {true, false, QMessageBox::Warning},
        {false, true, QMessageBox::Critical},
    };
    for (const Case& c : cases) {
        std::unique_ptr<QMessageBox> box(app::makeAlertBox(twoButtons(c.warning, c.critical)));
        EXPECT_EQ(box->icon(), c.icon) << c.warning << c.critical;
    }
}

TEST(Alerts, TheFirstButtonHoldsTheFocusAndReturnPressesIt) {
    // Shown by hand, as a window's own alert, and run modally.
    {
        QPointer<QMessageBox> box = app::makeAlertBox(twoButtons(true, false));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
        QApplication::setActiveWindow(box);
        ASSERT_TRUE(QTest::qWaitForWindowActive(box));
        const QList<QAbstractButton*> buttons =
            box->property("vexlinButtons").value<QList<QAbstractButton*>>();
        EXPECT_TRUE(QTest::qWaitFor([&] { return box->focusWidget() == buttons.first(); }));
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_EQ(box ? box->clickedButton() : buttons.first(), buttons.first());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    {
        QWidget window;
        window.show();
        app::AlertPresenter::current().show(twoButtons(true, false), &window);
        QPointer<QMessageBox> box = window.findChild<QMessageBox*>();
        ASSERT_NE(box, nullptr);
        QApplication::setActiveWindow(box);
        ASSERT_TRUE(QTest::qWaitForWindowActive(box));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return box->focusWidget() == static_cast<QWidget*>(box->defaultButton()); }));
        EXPECT_EQ(box->defaultButton()->text(), "Download");
        box->close();
    }
    int chosen = -1;
    bool focused = false;
    QTimer::singleShot(0, [&] {
        QMessageBox* box = openAlert();
        ASSERT_NE(box, nullptr);
        QApplication::setActiveWindow(box);
        focused = QTest::qWaitFor(
            [&] { return box->focusWidget() == static_cast<QWidget*>(box->defaultButton()); });
        QTest::keyClick(box, Qt::Key_Return);
    });
    chosen = app::AlertPresenter::current().run(twoButtons(true, false));
    EXPECT_TRUE(focused);
    EXPECT_EQ(chosen, 0);
}

} // namespace
