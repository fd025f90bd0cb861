#include "settings/ShortcutsPane.h"

#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace settings {

// Stands in until the shortcut recorders are built.
QWidget* makeShortcutsPane(QWidget* parent) {
    auto* pane = new QWidget(parent);
    auto* layout = new QVBoxLayout(pane);
    //: Settings › Shortcuts while the pane is not built
    auto* label = new QLabel(QCoreApplication::translate(
        "ShortcutsPane", "Shortcuts cannot be changed here in this version yet."));
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    return pane;
}

} // namespace settings
