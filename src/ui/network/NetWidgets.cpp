#include "ui/network/NetWidgets.h"

#include "core/network/NetConfig.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QRegularExpressionValidator>

#include <algorithm>

namespace pemberlux {

namespace {

const QString kOctet = QStringLiteral("(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])?");

class RowClicks final : public QObject {
public:
    RowClicks(QTableWidget* list, std::function<void(int)> click, std::function<void(int)> doubleClick)
        : QObject(list), list_(list), click_(std::move(click)), doubleClick_(std::move(doubleClick)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool press = event->type() == QEvent::MouseButtonPress;
        const bool twice = event->type() == QEvent::MouseButtonDblClick;
        if (press || twice) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) {
                const int row = list_->indexAt(mouse->position().toPoint()).row();
                // After the view has selected the row.
                QMetaObject::invokeMethod(
                    this,
                    [this, row, twice] {
                        if (!twice && click_) click_(row);
                        if (twice && doubleClick_ && row >= 0) doubleClick_(row);
                    },
                    Qt::QueuedConnection);
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QTableWidget* list_;
    std::function<void(int)> click_;
    std::function<void(int)> doubleClick_;
};

} // namespace

void WatchRowClicks(QTableWidget* list, std::function<void(int)> click, std::function<void(int)> doubleClick) {
    list->viewport()->installEventFilter(new RowClicks(list, std::move(click), std::move(doubleClick)));
}

std::string FieldName(const std::string& label) {
    QString name = QString::fromStdString(label).trimmed();
    while (name.endsWith(QLatin1Char(':')) || name.endsWith(QChar(0xFF1A)) || name.endsWith(QLatin1Char(' ')))
        name.chop(1);
    return name.toStdString();
}

void AlignLabels(const std::vector<QLabel*>& labels) {
    int width = 0;
    for (const QLabel* l : labels)
        width = std::max(width, l->sizeHint().width());
    for (QLabel* l : labels)
        l->setMinimumWidth(width);
}

QLineEdit* NewAddressEdit() {
    auto* edit = new QLineEdit;
    const QRegularExpression dotted(QStringLiteral("%1(\\.%1){0,3}").arg(kOctet));
    edit->setValidator(new QRegularExpressionValidator(dotted, edit));
    edit->setMaxLength(15);
    return edit;
}

std::optional<Ipv4Octets> AddressOf(const QLineEdit* edit) {
    const std::string text = edit->text().trimmed().toStdString();
    if (text.empty()) return std::nullopt;
    return ParseDottedIp(text);
}

void ShowAddress(QLineEdit* edit, const Ipv4Octets& address) {
    edit->setText(QString::fromStdString(FormatIp(address)));
}

QLineEdit* NewNumberEdit() {
    auto* edit = new QLineEdit;
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), edit));
    return edit;
}

QTableWidget* NewReportList(const std::vector<std::string>& headers, int columnWidth) {
    auto* list = new QTableWidget(0, static_cast<int>(headers.size()));
    QStringList labels;
    for (const std::string& h : headers)
        labels << QString::fromStdString(h);
    list->setHorizontalHeaderLabels(labels);
    list->setShowGrid(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->hide();
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    list->horizontalHeader()->setHighlightSections(false);
    for (int c = 0; c < list->columnCount(); ++c)
        list->setColumnWidth(c, columnWidth);
    list->horizontalHeader()->setStretchLastSection(true);
    list->setWordWrap(false);
    return list;
}

void SetCell(QTableWidget* list, int row, int column, const std::string& text) {
    QTableWidgetItem* item = list->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignCenter);
        list->setItem(row, column, item);
    }
    item->setText(QString::fromStdString(text));
}

std::string CellText(const QTableWidget* list, int row, int column) {
    const QTableWidgetItem* item = list->item(row, column);
    return item ? item->text().toStdString() : std::string();
}

} // namespace pemberlux
