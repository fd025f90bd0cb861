#include "app/NameCollator.h"

#include <QLocale>

namespace app {

const QCollator& nameCollator() {
    thread_local const QCollator collator = [] {
        QLocale locale;
        if (locale.language() == QLocale::C) {
            locale = QLocale(QLocale::English, QLocale::UnitedStates);
        }
        QCollator made(locale);
        made.setNumericMode(true);
        made.setCaseSensitivity(Qt::CaseInsensitive);
        return made;
    }();
    return collator;
}

} // namespace app
