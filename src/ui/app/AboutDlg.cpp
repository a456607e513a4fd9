#include "ui/app/AboutDlg.h"

#include "core/base/UiText.h"
#include "ui/app/Resources.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pemberlux {

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(IDD, parent) {
    setWindowTitle(QString::fromStdString(TemplateText(IDD, "caption")));
    auto* layout = new QHBoxLayout(this);
    auto* icon = new QLabel;
    icon->setPixmap(AppIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    icon->setAccessibleName(QStringLiteral("Pemberlux"));
    layout->addWidget(icon);

    auto* texts = new QVBoxLayout;
    for (const char* key : {"text.Version", "text.Maker"}) {
        auto* label = new QLabel(QString::fromStdString(TemplateText(IDD, key)));
        label->setAccessibleName(label->text());
        texts->addWidget(label);
    }
    texts->addStretch();
    layout->addLayout(texts);

    auto* ok = Bind(IDC_OK, new QPushButton(QString::fromStdString(TemplateText(IDD, "1"))));
    ok->setDefault(true);
    layout->addWidget(ok, 0, Qt::AlignTop);
    connect(ok, &QPushButton::clicked, this, [this] { accept(); });
}

} // namespace pemberlux
