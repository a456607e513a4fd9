#include "ui/receipt/ReceiptControls.h"

#include "core/base/UiText.h"

namespace pemberlux {

std::vector<std::string> ReceiptListItems(int pos, int langId) {
    return TemplateItems(IDD_INTERNAL_SETUP_TR510, RECEIPT_CONTROLS[static_cast<std::size_t>(pos)].control, langId);
}

} // namespace pemberlux
