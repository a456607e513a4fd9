#include "TextFit.h"

#include "ui/toolkit/TextRoom.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTextDocument>

#include <climits>

namespace pemberlux::uiwalk {

namespace {

// The blank a line edit keeps on each side of its text.
constexpr int LINE_EDIT_MARGIN = 2;
// The first rows of a long list are enough to judge its columns.
constexpr int MAX_ROWS = 200;

QString Where(const QWidget* w) {
    QString name = w->objectName();
    if (name.isEmpty())
        name = QString::fromLatin1(w->metaObject()->className());
    else
        name += QStringLiteral(" (%1)").arg(QString::fromLatin1(w->metaObject()->className()));
    // The page or dialog it belongs to.
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
        const QString cls = QString::fromLatin1(p->metaObject()->className());
        if (p->isWindow() || p->inherits("pemberlux::CPage")) return name + QStringLiteral(" in ") + cls;
    }
    return name;
}

class Checker {
public:
    explicit Checker(const QWidget* root) : root_(root) {}

    void Walk(const QWidget* w) {
        if (!w->isVisible()) return;
        Check(w);
        for (const QObject* child : w->children()) {
            if (!child->isWidgetType()) continue;
            const auto* c = static_cast<const QWidget*>(child);
            // Separate windows (an open drop-down) are not part of this one.
            if (c->isWindow()) continue;
            Walk(c);
        }
    }

    std::vector<Clipping> found;

private:
    void Report(const QWidget* w, const QString& text, QSize needed, QSize available) {
        found.push_back({Where(w), text, needed, available});
    }
    void Exceeds(const QWidget* w, const QString& text, QSize needed, QSize available) {
        if (needed.width() > available.width() || needed.height() > available.height())
            Report(w, text, needed, available);
    }

    void Check(const QWidget* w) {
        bool measured = true;
        if (auto* l = qobject_cast<const QLabel*>(w)) {
            CheckLabel(l);
        } else if (auto* p = qobject_cast<const QPushButton*>(w)) {
            CheckPushButton(p);
        } else if (qobject_cast<const QCheckBox*>(w) || qobject_cast<const QRadioButton*>(w)) {
            CheckIndicatorButton(static_cast<const QAbstractButton*>(w));
        } else if (auto* g = qobject_cast<const QGroupBox*>(w)) {
            CheckGroupBox(g);
        } else if (auto* c = qobject_cast<const QComboBox*>(w)) {
            CheckComboBox(c);
        } else if (auto* e = qobject_cast<const QLineEdit*>(w)) {
            CheckLineEdit(e);
        } else if (auto* h = qobject_cast<const QHeaderView*>(w)) {
            CheckHeader(h);
        } else if (auto* v = qobject_cast<const QAbstractItemView*>(w)) {
            CheckItemView(v);
        } else {
            measured = false;
        }
        if (measured) CheckInsideWindow(w);
    }

    // A control reaching past the edge of a widget it sits in is cut there.
    void CheckInsideWindow(const QWidget* w) {
        if (w == root_ || w->isWindow()) return;
        QRect rect(QPoint(0, 0), w->size());
        const QWidget* child = w;
        for (const QWidget* p = w->parentWidget(); p; child = p, p = p->parentWidget()) {
            // Inside a scrolled area the rest is a scroll away.
            if (p->parentWidget() && qobject_cast<const QAbstractScrollArea*>(p->parentWidget()) &&
                static_cast<const QAbstractScrollArea*>(p->parentWidget())->viewport() == p) {
                return;
            }
            rect.translate(child->pos());
            const QRect inside = rect.intersected(QRect(QPoint(0, 0), p->size()));
            if (inside != rect) {
                Report(w, TextOf(w) + QStringLiteral(" [reaches past the edge of %1]").arg(Where(p)), rect.size(),
                       inside.size());
                return;
            }
            if (p->isWindow()) return;
        }
    }

    static QString TextOf(const QWidget* w) {
        if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
        if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
        if (auto* g = qobject_cast<const QGroupBox*>(w)) return g->title();
        if (auto* c = qobject_cast<const QComboBox*>(w)) return c->currentText();
        if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
        return w->accessibleName();
    }

    void CheckLabel(const QLabel* l) {
        const QString text = l->text();
        if (text.isEmpty()) return;
        const QFontMetrics fm(l->font());
        const int m = l->margin();
        QRect room = l->contentsRect().adjusted(m, m, -m, -m);
        int indent = l->indent();
        if (indent < 0 && l->frameWidth() > 0) indent = fm.horizontalAdvance(QLatin1Char('x')) / 2;
        if (indent > 0) {
            if (l->alignment() & (Qt::AlignLeft | Qt::AlignRight)) room.setWidth(room.width() - indent);
            if (l->alignment() & (Qt::AlignTop | Qt::AlignBottom)) room.setHeight(room.height() - indent);
        }
        QSize needed;
        const bool rich =
            l->textFormat() == Qt::RichText || (l->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
        if (rich) {
            QTextDocument doc;
            doc.setDefaultFont(l->font());
            doc.setDocumentMargin(0);
            doc.setHtml(text);
            if (l->wordWrap()) {
                doc.setTextWidth(room.width());
                needed = QSize(qCeil(doc.idealWidth()), qCeil(doc.size().height()));
            } else {
                needed = doc.size().toSize();
            }
        } else {
            const int mnemonic = l->buddy() ? Qt::TextShowMnemonic : 0;
            if (l->wordWrap()) {
                needed =
                    fm.boundingRect(QRect(0, 0, room.width(), INT_MAX / 2), Qt::TextWordWrap | mnemonic, text).size();
            } else {
                needed = fm.size(mnemonic, text);
            }
        }
        Exceeds(l, text, needed, room.size());
    }

    void CheckPushButton(const QPushButton* b) {
        const QString text = b->text();
        if (text.isEmpty()) return;
        QStyleOptionButton option;
        option.initFrom(b);
        option.rect = b->rect();
        option.iconSize = b->iconSize();
        if (b->isFlat()) option.features |= QStyleOptionButton::Flat;
        if (b->autoDefault() || b->isDefault()) option.features |= QStyleOptionButton::AutoDefaultButton;
        QSize content = b->fontMetrics().size(Qt::TextShowMnemonic, text);
        if (!b->icon().isNull()) {
            content.rwidth() += b->iconSize().width() + 4;
            content.setHeight(std::max(content.height(), b->iconSize().height()));
        }
        // Without the text in the option: the style's least width for a button
        // with a caption is not room the text needs.
        const QSize needed = b->style()->sizeFromContents(QStyle::CT_PushButton, &option, content, b);
        Exceeds(b, text, needed, b->size());
    }

    void CheckIndicatorButton(const QAbstractButton* b) {
        const QString text = b->text();
        if (text.isEmpty()) return;
        QStyleOptionButton option;
        option.initFrom(b);
        option.rect = b->rect();
        option.text = text;
        option.icon = b->icon();
        option.iconSize = b->iconSize();
        QSize content = b->style()->itemTextRect(b->fontMetrics(), QRect(), Qt::TextShowMnemonic, false, text).size();
        if (!b->icon().isNull()) {
            content =
                QSize(content.width() + b->iconSize().width() + 4, std::max(content.height(), b->iconSize().height()));
        }
        const auto type = qobject_cast<const QRadioButton*>(b) ? QStyle::CT_RadioButton : QStyle::CT_CheckBox;
        Exceeds(b, text, b->style()->sizeFromContents(type, &option, content, b), b->size());
    }

    void CheckGroupBox(const QGroupBox* g) {
        const QString title = g->title();
        if (title.isEmpty()) return;
        QStyleOptionGroupBox option;
        option.initFrom(g);
        option.rect = g->rect();
        option.text = title;
        option.lineWidth = 1;
        option.midLineWidth = 0;
        option.textAlignment = Qt::Alignment(g->alignment());
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        if (g->isCheckable()) option.subControls |= QStyle::SC_GroupBoxCheckBox;
        if (g->isFlat()) option.features |= QStyleOptionFrame::Flat;
        const QRect label = g->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, g);
        if (!g->rect().contains(label)) {
            Report(g, title, QSize(std::max(label.right() + 1, label.width()), label.bottom() + 1), g->size());
        }
    }

    void CheckComboBox(const QComboBox* c) {
        QStyleOptionComboBox option;
        option.initFrom(c);
        option.rect = c->rect();
        option.editable = c->isEditable();
        option.frame = c->hasFrame();
        option.iconSize = c->iconSize();
        option.subControls = QStyle::SC_All;
        const QRect field = c->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, c);
        // The style draws the current item one pixel in from each side.
        const QSize room(field.width() - 2, field.height());
        const QFontMetrics fm(c->font());
        QString widest;
        QSize needed(0, 0);
        for (int i = 0; i < c->count(); ++i) {
            const QString text = c->itemText(i);
            QSize size(fm.horizontalAdvance(text), fm.height());
            if (!c->itemIcon(i).isNull()) size.rwidth() += c->iconSize().width() + 4;
            if (size.width() > needed.width()) widest = text;
            needed = needed.expandedTo(size);
        }
        if (c->isEditable() && c->lineEdit()) {
            const QString text = c->lineEdit()->text();
            if (fm.horizontalAdvance(text) > needed.width()) {
                widest = text;
                needed.setWidth(fm.horizontalAdvance(text));
            }
        }
        if (!widest.isEmpty()) Exceeds(c, widest, needed, room);
    }

    void CheckLineEdit(const QLineEdit* e) {
        // Inside a drop-down the drop-down is measured.
        if (qobject_cast<const QComboBox*>(e->parentWidget())) return;
        QStringList texts = ReservedTexts(e);
        // What the user types may scroll; a value shown for reading must not.
        if (e->isReadOnly() && !e->text().isEmpty() && e->echoMode() == QLineEdit::Normal) texts.prepend(e->text());
        texts.removeDuplicates();
        if (texts.isEmpty()) return;
        QStyleOptionFrame option;
        option.initFrom(e);
        option.rect = e->rect();
        option.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, e) : 0;
        option.midLineWidth = 0;
        option.state |= QStyle::State_Sunken;
        if (e->isReadOnly()) option.state |= QStyle::State_ReadOnly;
        const QRect contents = e->style()->subElementRect(QStyle::SE_LineEditContents, &option, e);
        const QRect text = contents.marginsRemoved(e->textMargins());
        const QSize room(text.width() - 2 * LINE_EDIT_MARGIN, text.height());
        const QFontMetrics fm(e->font());
        for (const QString& t : texts)
            Exceeds(e, t, QSize(fm.horizontalAdvance(t), fm.height()), room);
    }

    void CheckItemView(const QAbstractItemView* v) {
        const QAbstractItemModel* model = v->model();
        if (!model) return;
        QStyleOptionViewItem option;
        option.initFrom(v);
        option.font = v->font();
        option.fontMetrics = QFontMetrics(option.font);
        const int icon = v->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, v);
        option.decorationSize = v->iconSize().isValid() ? v->iconSize() : QSize(icon, icon);
        option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        const QModelIndex root = v->rootIndex();
        const int rows = std::min(model->rowCount(root), MAX_ROWS);
        const int columns = model->columnCount(root);
        const bool list = v->inherits("QListView");
        const int viewportWidth = v->viewport()->width();
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < columns; ++column) {
                const QModelIndex index = model->index(row, column, root);
                const QRect rect = v->visualRect(index);
                if (rect.isEmpty()) continue; // hidden row or column
                const QString text = index.data(Qt::DisplayRole).toString();
                if (text.isEmpty()) continue;
                const QSize needed = v->itemDelegateForIndex(index)->sizeHint(option, index);
                const int width = list ? std::min(rect.width(), viewportWidth - rect.x()) : rect.width();
                Exceeds(v, text, needed, QSize(width, rect.height()));
            }
        }
    }

    void CheckHeader(const QHeaderView* h) {
        if (h->orientation() != Qt::Horizontal || !h->model()) return;
        for (int section = 0; section < h->count(); ++section) {
            if (h->isSectionHidden(section)) continue;
            const QString text = h->model()->headerData(section, Qt::Horizontal, Qt::DisplayRole).toString();
            if (text.isEmpty()) continue;
            QStyleOptionHeader option;
            option.initFrom(h);
            option.section = section;
            option.text = text;
            option.orientation = Qt::Horizontal;
            option.fontMetrics = QFontMetrics(h->font());
            if (h->isSortIndicatorShown() && h->sortIndicatorSection() == section)
                option.sortIndicator = QStyleOptionHeader::SortDown;
            const QSize needed = h->style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), h);
            // Named after the list it heads.
            const QWidget* list = h->parentWidget() ? h->parentWidget() : h;
            Exceeds(list, text + QStringLiteral(" [column header]"), needed,
                    QSize(h->sectionSize(section), h->height()));
        }
    }

    const QWidget* root_;
};

} // namespace

std::string Clipping::Describe() const {
    return QStringLiteral("%1: \"%2\" needs %3x%4, has %5x%6")
        .arg(control, text)
        .arg(needed.width())
        .arg(needed.height())
        .arg(available.width())
        .arg(available.height())
        .toStdString();
}

std::vector<Clipping> FindClippedTexts(const QWidget* root) {
    Checker checker(root);
    checker.Walk(root);
    return checker.found;
}

} // namespace pemberlux::uiwalk
