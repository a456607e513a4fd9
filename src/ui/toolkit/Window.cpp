#include "ui/toolkit/Window.h"

#include "core/base/UiText.h"
#include "ui/toolkit/MessageBox.h"
#include "ui/toolkit/Messages.h"
#include "ui/toolkit/Platform.h"

#include <QAbstractButton>
#include <QColor>
#include <QComboBox>
#include <QFont>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace pemberlux {

namespace {

QString WithoutMnemonic(QString text) {
    // "&OK" reads "OK"; "&&" is a literal ampersand.
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

QString OwnCaption(const QWidget* w) {
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) return WithoutMnemonic(b->text());
    if (auto* g = qobject_cast<const QGroupBox*>(w)) return WithoutMnemonic(g->title());
    if (auto* l = qobject_cast<const QLabel*>(w)) return WithoutMnemonic(l->text()).trimmed();
    return {};
}

} // namespace

CWindowBase::CWindowBase(QWidget* self, int dialogId) : self_(self), dialogId_(dialogId) {}

CWindowBase::~CWindowBase() {
    if (workers_.NeedsStop()) {
        // Too late: the derived window's members are gone while its jobs may
        // still use them.
        std::fputs("a window was destroyed without stopping its jobs first\n", stderr);
        std::abort();
    }
    workers_.Stop();
}

void CWindowBase::BindWidget(int id, QWidget* widget, const std::string& accessibleName) {
    controls_[id] = widget;
    widget->setObjectName(QStringLiteral("IDC_%1").arg(id));
    namedExplicitly_[id] = !accessibleName.empty();
    widget->setAccessibleName(accessibleName.empty() ? OwnCaption(widget) : QString::fromStdString(accessibleName));
}

QWidget* CWindowBase::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second.data();
}

std::vector<int> CWindowBase::ControlIds() const {
    std::vector<int> ids;
    for (const auto& [id, w] : controls_)
        ids.push_back(id);
    return ids;
}

void CWindowBase::EnableControl(int id, bool enable) {
    RunOnGuiThread([this, id, enable] {
        if (Held(id)) {
            wanted_[id] = enable;
        } else if (QWidget* w = Control(id)) {
            w->setEnabled(enable);
        }
    });
}

void CWindowBase::StopWorkers() {
    workers_.Stop();
    // A stopped job did not get to give its controls back.
    for (auto& [id, count] : holds_) {
        if (count == 0) continue;
        count = 0;
        if (QWidget* w = Control(id)) w->setEnabled(wanted_[id]);
    }
}

bool CWindowBase::Held(int id) const {
    auto it = holds_.find(id);
    return it != holds_.end() && it->second > 0;
}

bool CWindowBase::StartJob(std::vector<int> holds, std::function<void(std::stop_token)> body) {
    for (int id : holds)
        if (Held(id)) return false;
    for (int id : holds) {
        QWidget* w = Control(id);
        if (holds_[id]++ == 0) wanted_[id] = w && w->isEnabled();
        if (w) w->setEnabled(false);
    }
    workers_.Start([this, holds = std::move(holds), body = std::move(body)](std::stop_token stop) {
        body(stop);
        // Not when the window is going away: then nothing is given back.
        RunOnGuiThread([this, &holds] {
            for (int id : holds) {
                if (--holds_[id] > 0) continue;
                if (QWidget* w = Control(id)) w->setEnabled(wanted_[id]);
            }
        });
    });
    return true;
}

void CWindowBase::ReportExchange(const ExchangeResult& result, PortKind portKind) {
    if (auto message = ExchangeMessage(result, portKind)) ShowOpenMessage(self_, *message, result.open);
}

void CWindowBase::ShowControl(int id, bool show) {
    RunOnGuiThread([this, id, show] {
        if (QWidget* w = Control(id)) w->setVisible(show);
    });
}

void CWindowBase::SetControlText(int id, const std::string& text) {
    RunOnGuiThread([this, id, text] {
        QWidget* w = Control(id);
        if (!w) return;
        const QString t = QString::fromStdString(text);
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            b->setText(t);
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            g->setTitle(t);
        } else if (auto* l = qobject_cast<QLabel*>(w)) {
            l->setText(t);
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            e->setText(t);
        }
        if (!namedExplicitly_[id]) w->setAccessibleName(OwnCaption(w));
    });
}

CWindowBase::TemplateString CWindowBase::Text(const std::string& key) const {
    return TemplateString(TemplateText(dialogId_, key));
}

std::string CWindowBase::ControlText(int id) const {
    const QWidget* w = Control(id);
    if (!w) return {};
    if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text().toStdString();
    if (auto* c = qobject_cast<const QComboBox*>(w)) return c->currentText().toStdString();
    if (auto* l = qobject_cast<const QListWidget*>(w)) {
        return l->currentItem() ? l->currentItem()->text().toStdString() : std::string();
    }
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text().toStdString();
    if (auto* g = qobject_cast<const QGroupBox*>(w)) return g->title().toStdString();
    if (auto* l = qobject_cast<const QLabel*>(w)) return l->text().toStdString();
    return {};
}

void CWindowBase::SetTimer(int timerId, int ms) {
    RunOnGuiThread([this, timerId, ms] {
        QTimer*& timer = timers_[timerId];
        if (!timer) {
            timer = new QTimer(self_);
            // A window timer never fires early; Qt's default coarse timer may, by up to 5 %.
            timer->setTimerType(Qt::PreciseTimer);
            QObject::connect(timer, &QTimer::timeout, self_, [this, timerId] { OnTimer(timerId); });
        }
        timer->start(ms);
    });
}

void CWindowBase::KillTimer(int timerId) {
    RunOnGuiThread([this, timerId] {
        auto it = timers_.find(timerId);
        if (it != timers_.end() && it->second) it->second->stop();
    });
}

bool CWindowBase::TimerActive(int timerId) const {
    auto it = timers_.find(timerId);
    return it != timers_.end() && it->second && it->second->isActive();
}

void CWindowBase::AddToolTip(int id, StringId stringId) {
    if (QWidget* w = Control(id)) w->setToolTip(QString::fromStdString(LoadUiString(stringId)));
}

void CWindowBase::SetToolTipColour(const QColor& colour) {
    // Applied when a tooltip of this window shows (see Platform.cpp); a style
    // sheet would do it too, but costs every control of the window its polish.
    self_->setProperty(TOOLTIP_COLOUR_PROPERTY, colour);
}

void CWindowBase::OnMessage(const MessageEvent&) {}

void CWindowBase::OnTimer(int) {}

bool CWindowBase::DispatchPrivateMessage(QEvent* event) {
    if (!IsPrivateMessage(event)) return false;
    OnMessage(static_cast<const MessageEvent&>(*event));
    return true;
}

CPage::CPage(int dialogId, QWidget* parent) : QWidget(parent), CWindowBase(this, dialogId) {
    SwallowEnterAndEscape(this);
    ApplyTemplateFont(this, dialogId);
}

CPage::~CPage() = default;

CPage::PortSnapshot CPage::TakePortSnapshot() const {
    return {settings_, UsbSelection::Current()};
}

bool CPage::StartPortJob(std::vector<int> holds, std::function<void(std::stop_token, const PortSnapshot&)> body) {
    return StartJob(std::move(holds), [snapshot = TakePortSnapshot(), body = std::move(body)](std::stop_token stop) {
        SetThreadUiLanguage(LanguageIdOf(snapshot.settings.language));
        body(stop, snapshot);
    });
}

bool CPage::event(QEvent* event) {
    return DispatchPrivateMessage(event) || QWidget::event(event);
}

CDialog::CDialog(int dialogId, QWidget* parent) : QDialog(parent), CWindowBase(this, dialogId) {
    SwallowEnterAndEscape(this);
    ApplyTemplateFont(this, dialogId);
}

CDialog::~CDialog() = default;

bool CDialog::event(QEvent* event) {
    return DispatchPrivateMessage(event) || QDialog::event(event);
}

QHBoxLayout* CDialog::ButtonRow(std::initializer_list<int> ids) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (int id : ids) {
        auto* button = Bind(id, new QPushButton(QString::fromStdString(TemplateText(DialogId(), std::to_string(id)))));
        button->setAutoDefault(false);
        row->addWidget(button);
    }
    return row;
}

} // namespace pemberlux

namespace pemberlux {

QStringList UiFontFamilies(const QStringList& requested) {
    // The fonts are requested by name; where the machine lacks them, the sans
    // font of the system stands in, and the simplified Chinese one draws the
    // glyphs it lacks (only those: its Latin tables stay unread). A name the
    // machine lacks is left out rather than looked up among the system's
    // aliases, which costs start-up time and finds the same fonts.
    static const QStringList installed = QFontDatabase::families();
    // The Chinese names of the template fonts; the font database lists their Latin ones.
    static const std::map<QString, QString> latinNames = {
        {QStringLiteral("宋体"), QStringLiteral("SimSun")},
        {QStringLiteral("楷体"), QStringLiteral("KaiTi")},
    };
    QStringList families;
    for (const QString& family : requested) {
        auto latin = latinNames.find(family);
        for (const QString& name : {family, latin == latinNames.end() ? QString() : latin->second}) {
            if (!name.isEmpty() && installed.contains(name, Qt::CaseInsensitive) && !families.contains(name))
                families << name;
        }
    }
    return families + QStringList{QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans CJK SC")};
}

QFont TemplateFont(int dialogId, const QFont& base) {
    const DialogFont f = DialogFontOf(dialogId);
    if (f.family.empty()) return base;
    QFont font = base;
    font.setFamilies(UiFontFamilies({QString::fromStdString(f.family)}));
    font.setPointSize(f.pointSize);
    return font;
}

void ApplyTemplateFont(QWidget* window, int dialogId) {
    if (DialogFontOf(dialogId).family.empty()) return;
    window->setFont(TemplateFont(dialogId, window->font()));
}

} // namespace pemberlux
