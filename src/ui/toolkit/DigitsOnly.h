// An edit that takes only digits from the keyboard (shortcuts still work);
// pasted text goes in as it is and meets the page's own check like any other
// change.
#pragma once

#include <QKeyEvent>
#include <QObject>

namespace pemberlux {

class DigitsOnly final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            const QString text = key->text();
            const bool shortcut = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
            if (!shortcut && text.size() == 1 && text[0].isPrint() && !text[0].isDigit()) return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace pemberlux
