#include "platform/Platform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QProxyStyle>
#include <QWidget>

namespace pemberlux {

namespace {

const char* const SWALLOW_KEYS = "pemberluxSwallowEnterEscape";

class ProgramStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ToolTip_WakeUpDelay) return TOOLTIP_DELAY_MS;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

class KeyGuard final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Escape) return false;
        // Popups (an open drop-down list) are windows of their own and keep their keys.
        const QWidget* window = static_cast<QWidget*>(watched)->window();
        return window && window->property(SWALLOW_KEYS).toBool();
    }
};

} // namespace

void InitPlatform() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || app->property("pemberluxPlatform").toBool()) return;
    app->setProperty("pemberluxPlatform", true);
    QApplication::setStyle(new ProgramStyle);
    app->installEventFilter(new KeyGuard(app));
}

void SwallowEnterAndEscape(QWidget* window) {
    window->setProperty(SWALLOW_KEYS, true);
}

void UseHandCursorOverButtons(QWidget* root) {
    for (QAbstractButton* b : root->findChildren<QAbstractButton*>())
        b->setCursor(Qt::PointingHandCursor);
}

} // namespace pemberlux
