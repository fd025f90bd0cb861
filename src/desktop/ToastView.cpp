#include "desktop/ToastView.h"

#include <QGraphicsDropShadowEffect>
#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>

namespace desktop {

namespace {

// Icon-theme names that draw the same idea as each symbol the toasts use.
const QHash<QString, QStringList>& themeNames() {
    static const QHash<QString, QStringList> names{
        {QStringLiteral("text.viewfinder"),
         {QStringLiteral("scanner-symbolic"), QStringLiteral("edit-find-symbolic"),
          QStringLiteral("edit-find")}},
        {QStringLiteral("text.magnifyingglass"),
         {QStringLiteral("edit-find-symbolic"), QStringLiteral("edit-find")}},
        {QStringLiteral("checkmark.circle.fill"),
         {QStringLiteral("emblem-ok-symbolic"), QStringLiteral("object-select-symbolic"),
          QStringLiteral("dialog-ok")}},
        {QStringLiteral("link"),
         {QStringLiteral("insert-link-symbolic"), QStringLiteral("insert-link")}},
        {QStringLiteral("qrcode"),
         {QStringLiteral("view-barcode-qr-symbolic"), QStringLiteral("view-barcode-qr")}},
        {QStringLiteral("macwindow"),
         {QStringLiteral("window-symbolic"), QStringLiteral("window-new")}},
    };
    return names;
}

} // namespace

QPixmap toastSymbol(const QString& symbol, const QColor& tint, int side, qreal devicePixelRatio) {
    const QSize pixels = QSize(side, side) * devicePixelRatio;
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QIcon icon;
    for (const QString& name : themeNames().value(symbol, {symbol})) {
        if (QIcon::hasThemeIcon(name)) {
            icon = QIcon::fromTheme(name);
            break;
        }
    }
    if (!icon.isNull()) {
        painter.drawPixmap(QPoint(0, 0), icon.pixmap(pixels));
        // The symbol takes the tint, as a template would.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), tint);
    } else {
        const qreal d = pixels.width() * 0.5;
        painter.setPen(Qt::NoPen);
        painter.setBrush(tint);
        painter.drawEllipse(QRectF((pixels.width() - d) / 2, (pixels.height() - d) / 2, d, d));
    }
    painter.end();
    QPixmap pixmap = QPixmap::fromImage(std::move(image));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

ToastView::ToastView(const QString& title, const std::optional<QString>& detail,
                     const QString& symbol, const QColor& tint, QWidget* parent)
    : QWidget(parent), title_(title), layout_(ToastLayout::make(title, detail)) {
    setAttribute(Qt::WA_TranslucentBackground);
    symbol_ =
        toastSymbol(symbol, tint, static_cast<int>(ToastLayout::symbolSide), devicePixelRatioF());
    // Black at 25 %, blurred by 10 and 4 points down, inside the outer padding.
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(QColor(0, 0, 0, 64));
    shadow->setBlurRadius(10);
    shadow->setOffset(0, 4);
    setGraphicsEffect(shadow);
    setFixedSize(sizeHint());
}

QSize ToastView::sizeHint() const {
    return layout_.size.toSize();
}

void ToastView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF capsule = layout_.capsule;
    const qreal radius = capsule.height() / 2;
    QPainterPath shape;
    shape.addRoundedRect(capsule, radius, radius);
    QColor material = palette().color(QPalette::Window);
    material.setAlpha(235);
    painter.fillPath(shape, material);
    QPainterPath outline;
    outline.addRoundedRect(capsule.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    painter.strokePath(outline, QPen(QColor(255, 255, 255, 31), 1.0));

    painter.drawPixmap(layout_.symbol.topLeft(), symbol_);

    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(layout_.titleFont);
    painter.drawText(layout_.title, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title_);

    if (!layout_.detailLines.isEmpty()) {
        QColor secondary = palette().color(QPalette::WindowText);
        secondary.setAlphaF(0.6f);
        painter.setPen(secondary);
        painter.setFont(layout_.detailFont);
        painter.drawText(layout_.detail, Qt::AlignLeft | Qt::AlignTop,
                         layout_.detailLines.join(u'\n'));
    }
}

} // namespace desktop
