// Pinning and sharing are not built yet: pressing them must say so, never
// look as if it worked.
#include "delivery/PinManager.h"
#include "delivery/SharePicker.h"
#include "desktop/Toast.h"
#include "desktop/ToastView.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

QString currentToastTitle() {
    const desktop::ToastPanel* panel = desktop::ToastCenter::shared().currentPanel();
    return panel ? panel->view()->title() : QString();
}

} // namespace

TEST(DeliveryStandIns, PinAndShareSayTheyAreNotAvailable) {
    app::Capture capture;
    capture.image = QImage(4, 4, QImage::Format_ARGB32);
    capture.scale = 1;

    delivery::PinManager::shared().pin(capture);
    EXPECT_EQ(delivery::PinManager::unavailableTitle(), currentToastTitle());
    EXPECT_TRUE(currentToastTitle().contains("isn’t available"));
    EXPECT_TRUE(delivery::PinManager::shared().windowNumbers().empty());

    delivery::SharePicker::show(QStringLiteral("/nonexistent/shot.png"), nullptr);
    EXPECT_EQ(delivery::SharePicker::unavailableTitle(), currentToastTitle());
    EXPECT_TRUE(currentToastTitle().contains("isn’t available"));
}
