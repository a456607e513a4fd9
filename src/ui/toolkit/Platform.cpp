#include "ui/toolkit/Platform.h"

#include "core/base/UiText.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOption>
#include <QToolTip>
#include <QTranslator>
#include <QWidget>

#include <algorithm>

namespace pemberlux {

namespace {

const char* const SWALLOW_KEYS = "pemberluxSwallowEnterEscape";

// The space Fusion keeps above a group box frame, besides the title.
constexpr int GROUP_BOX_TOP_MARGIN = 3;

class ProgramStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ToolTip_WakeUpDelay) return TOOLTIP_DELAY_MS;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_FrameGroupBox) {
            DrawGroupBoxFrame(option, painter, widget);
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

private:
    // Fusion's group box frame, drawn rather than scaled from its picture: reading
    // the picture makes Qt load every image plugin before the first paint.
    void DrawGroupBoxFrame(const QStyleOption* option, QPainter* painter, const QWidget* widget) const {
        int top = GROUP_BOX_TOP_MARGIN;
        const auto* box = qobject_cast<const QGroupBox*>(widget);
        if (!box || box->isCheckable() || !box->title().isEmpty()) {
            top += std::max(pixelMetric(PM_ExclusiveIndicatorHeight, option, widget), option->fontMetrics.height());
        }
        const QRect frame = option->rect.adjusted(1, top + 1, 0, 0);
        if (frame.width() < 3 || frame.height() < 3) return;
        painter->save();
        painter->fillRect(frame.adjusted(1, 1, -1, -1), QColor(0, 0, 0, 3));
        painter->setPen(QColor(0x75, 0x75, 0x75, 0x32));
        // Square edges without their corner pixels: the picture's rounded corners.
        painter->drawLine(frame.left() + 1, frame.top(), frame.right() - 1, frame.top());
        painter->drawLine(frame.left() + 1, frame.bottom(), frame.right() - 1, frame.bottom());
        painter->drawLine(frame.left(), frame.top() + 1, frame.left(), frame.bottom() - 1);
        painter->drawLine(frame.right(), frame.top() + 1, frame.right(), frame.bottom() - 1);
        painter->restore();
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

// Gives each tooltip the text colour of the window its control belongs to.
class ToolTipColours final : public QObject {
public:
    explicit ToolTipColours(QObject* parent) : QObject(parent), standard_(QToolTip::palette()) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ToolTip || !watched->isWidgetType()) return false;
        QPalette palette = standard_;
        for (const QWidget* w = static_cast<QWidget*>(watched); w; w = w->parentWidget()) {
            const QVariant colour = w->property(TOOLTIP_COLOUR_PROPERTY);
            if (colour.isValid()) {
                palette.setColor(QPalette::ToolTipText, colour.value<QColor>());
                break;
            }
        }
        QToolTip::setPalette(palette);
        // A tip still showing is reused for the next text.
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("qtooltip_label")) w->setPalette(palette);
        }
        return false;
    }

private:
    QPalette standard_;
};

} // namespace

void InitPlatform() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || app->property("pemberluxPlatform").toBool()) return;
    app->setProperty("pemberluxPlatform", true);
    QApplication::setStyle(new ProgramStyle);
    app->installEventFilter(new KeyGuard(app));
    app->installEventFilter(new ToolTipColours(app));
}

void SwallowEnterAndEscape(QWidget* window) {
    window->setProperty(SWALLOW_KEYS, true);
}

void UseHandCursorOverButtons(QWidget* root) {
    for (QAbstractButton* b : root->findChildren<QAbstractButton*>())
        b->setCursor(Qt::PointingHandCursor);
}

bool UseQtTranslations(int langId) {
    // One translator at a time, owned by the application.
    static QPointer<QTranslator> installed;
    delete installed.data();
    if (langId != LANG_CHINESE) return true;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}

} // namespace pemberlux
