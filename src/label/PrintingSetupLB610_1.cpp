#include "label/PrintingSetupLB610_1.h"

namespace pemberlux {

CPrintingSetupLB610_1::CPrintingSetupLB610_1(QWidget* parent) : CPage(IDD, parent) {}

} // namespace pemberlux
