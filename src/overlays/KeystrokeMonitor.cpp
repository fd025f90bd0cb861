#include "overlays/KeystrokeMonitor.h"

#include "app/KeyShortcut.h"
#include "platform/InputRecorder.h"
#include "platform/KeyCodeMap.h"
#include "platform/KeyboardLayout.h"

#include <QGuiApplication>
#include <QScreen>

namespace overlays {

namespace {

// At most this many UTF-16 units of a key's text reach the label.
constexpr qsizetype kCharacterUnits = 8;

QString nameOfUnmappedKey(std::uint8_t xKeyCode) {
    const QString character = platform::KeyboardLayout::character(xKeyCode);
    if (!character.isEmpty()) {
        return character.toUpper();
    }
    return QStringLiteral("#") + QString::number(xKeyCode);
}

} // namespace

std::optional<KeyPress> KeystrokeMonitor::keyPress(const platform::RecordedInput& input) {
    using Kind = platform::RecordedInput::Kind;
    if (input.kind == Kind::buttonPress) {
        return std::nullopt;
    }
    if (input.kind == Kind::keyRelease && !input.changesModifiers) {
        return std::nullopt;
    }
    KeyPress press;
    const std::optional<std::uint32_t> code = platform::xToKeyCode(input.detail);
    press.keyCode = code ? *code : unmappedKeyBase + input.detail;
    press.modifiers = input.modifiers & platform::modifierBits::shortcutMask;
    if (input.changesModifiers) {
        return press;
    }
    press.keyName = code ? app::KeyShortcut::displayKey(*code) : nameOfUnmappedKey(input.detail);
    press.characters = capUtf16(input.characters, kCharacterUnits);
    return press;
}

std::unique_ptr<KeystrokeMonitor> KeystrokeMonitor::start(Handlers handlers) {
    std::unique_ptr<KeystrokeMonitor> monitor(new KeystrokeMonitor());
    monitor->handlers_ = std::move(handlers);
    KeystrokeMonitor* raw = monitor.get();
    monitor->recorder_ =
        platform::InputRecorder::start([raw](const platform::RecordedInput& input) {
            if (input.kind == platform::RecordedInput::Kind::buttonPress) {
                if (raw->handlers_.onClick) {
                    raw->handlers_.onClick(globalPointForRootPixel(input.rootPixel), input.detail);
                }
                return;
            }
            if (const std::optional<KeyPress> press = keyPress(input);
                press && raw->handlers_.onKey) {
                raw->handlers_.onKey(*press);
            }
        });
    if (!monitor->recorder_) {
        return nullptr;
    }
    return monitor;
}

KeystrokeMonitor::~KeystrokeMonitor() {
    stop();
}

void KeystrokeMonitor::stop() {
    if (recorder_) {
        recorder_->stop();
        recorder_.reset();
    }
    handlers_ = {};
}

QPointF globalPointForRootPixel(const QPoint& pixel) {
    // A screen keeps its top-left corner and scales its size.
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect logical = screen->geometry();
        const qreal scale = screen->devicePixelRatio();
        const QRectF native(logical.topLeft(), QSizeF(logical.size()) * scale);
        if (native.contains(pixel)) {
            return QPointF(logical.topLeft()) + QPointF(pixel - logical.topLeft()) / scale;
        }
    }
    return QPointF(pixel);
}

} // namespace overlays
