#include "app/ResponderChain.h"

#include <QApplication>
#include <QMetaMethod>
#include <QWidget>

namespace app {

namespace {

bool answers(const QObject* object, const char* slotSignature) {
    return object->metaObject()->indexOfMethod(slotSignature) >= 0;
}

} // namespace

QObject* firstResponder(const char* slotSignature) {
    for (QWidget* widget = QApplication::focusWidget(); widget != nullptr;
         widget = widget->parentWidget()) {
        if (answers(widget, slotSignature)) {
            return widget;
        }
    }
    QWidget* window = QApplication::activeWindow();
    if (window != nullptr && answers(window, slotSignature)) {
        return window;
    }
    return nullptr;
}

bool sendToFirstResponder(const char* slotSignature) {
    QObject* responder = firstResponder(slotSignature);
    if (responder == nullptr) {
        return false;
    }
    const QMetaObject* meta = responder->metaObject();
    const QMetaMethod method = meta->method(meta->indexOfMethod(slotSignature));
    return method.invoke(responder, Qt::DirectConnection);
}

} // namespace app
