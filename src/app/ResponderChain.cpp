#include "app/ResponderChain.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

#include <cstring>

namespace app {

namespace {

bool answers(const QObject* object, const char* slotSignature) {
    return object->metaObject()->indexOfMethod(slotSignature) >= 0;
}

constexpr const char* kDeleteSelection = "deleteSelection()";

// A focused text field that the user may type into.
QWidget* editableTextField() {
    QWidget* focus = QApplication::focusWidget();
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        return line->isReadOnly() ? nullptr : line;
    }
    if (auto* text = qobject_cast<QTextEdit*>(focus)) {
        return text->isReadOnly() ? nullptr : text;
    }
    if (auto* plain = qobject_cast<QPlainTextEdit*>(focus)) {
        return plain->isReadOnly() ? nullptr : plain;
    }
    return nullptr;
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
    if (std::strcmp(slotSignature, kDeleteSelection) == 0) {
        return editableTextField();
    }
    return nullptr;
}

bool sendToFirstResponder(const char* slotSignature) {
    QObject* responder = firstResponder(slotSignature);
    if (responder == nullptr) {
        return false;
    }
    if (!answers(responder, slotSignature)) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier);
        QApplication::sendEvent(responder, &press);
        QApplication::sendEvent(responder, &release);
        return true;
    }
    const QMetaObject* meta = responder->metaObject();
    const QMetaMethod method = meta->method(meta->indexOfMethod(slotSignature));
    return method.invoke(responder, Qt::DirectConnection);
}

bool isCommandEnabled(const char* slotSignature) {
    QObject* responder = firstResponder(slotSignature);
    if (responder == nullptr) {
        return false;
    }
    const QMetaObject* meta = responder->metaObject();
    const int index = meta->indexOfMethod("validateCommand(QByteArray)");
    if (index < 0) {
        return true;
    }
    bool enabled = true;
    meta->method(index).invoke(responder, Qt::DirectConnection, Q_RETURN_ARG(bool, enabled),
                               Q_ARG(QByteArray, QByteArray(slotSignature)));
    return enabled;
}

} // namespace app
