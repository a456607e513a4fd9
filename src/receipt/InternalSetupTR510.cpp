#include "receipt/InternalSetupTR510.h"

namespace pemberlux {

CInternalSetupTR510::CInternalSetupTR510(QWidget* parent) : CPage(IDD, parent) {}

} // namespace pemberlux
