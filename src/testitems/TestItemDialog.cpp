#include "testitems/TestItemDialog.h"

#include "app/UiText.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace pemberlux {

CTestItemDialog::CTestItemDialog(QWidget* parent) : CPage(IDD, parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Bind(IDC_CUT_AFTER_PRINT, new QCheckBox(QString::fromStdString(
                                                    TemplateText(IDD, std::to_string(IDC_CUT_AFTER_PRINT))))));
    layout->addStretch();
}

} // namespace pemberlux
