#include "ui/toolkit/TextRoom.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

namespace pemberlux {

namespace {

const char* const RESERVED = "pemberluxReservedTexts";
// The blank a line edit keeps on each side of its text.
constexpr int LINE_EDIT_MARGIN = 2;

} // namespace

void ReserveRoomFor(QLineEdit* field, const QStringList& texts) {
    field->setProperty(RESERVED, texts);
    const QFontMetrics fm(field->font());
    int widest = 0;
    for (const QString& text : texts)
        widest = std::max(widest, fm.horizontalAdvance(text));
    const QMargins text = field->textMargins();
    const QMargins contents = field->contentsMargins();
    QStyleOptionFrame option;
    option.initFrom(field);
    option.lineWidth =
        field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field) : 0;
    const QSize inner(widest + 2 * LINE_EDIT_MARGIN + text.left() + text.right() + contents.left() + contents.right(),
                      fm.height());
    field->setMinimumWidth(field->style()->sizeFromContents(QStyle::CT_LineEdit, &option, inner, field).width());
}

QStringList ReservedTexts(const QWidget* control) {
    return control->property(RESERVED).toStringList();
}

} // namespace pemberlux
