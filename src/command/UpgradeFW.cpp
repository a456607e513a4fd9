#include "command/UpgradeFW.h"

#include "app/UiText.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace pemberlux {

CUpgradeFW::CUpgradeFW(QWidget* parent) : CPage(IDD, parent) {
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    for (int id : {IDC_DOWNLOAD_MODE, IDC_UPDATE}) {
        auto* b = Bind(id, new QPushButton(QString::fromStdString(TemplateText(IDD, std::to_string(id)))));
        buttons->addWidget(b);
    }
    buttons->addStretch();
    layout->addLayout(buttons);
    layout->addStretch();
}

} // namespace pemberlux
