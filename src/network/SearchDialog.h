// What the two network search dialogs share: a Search button over the list of
// the printers that answered, the "Device selected" fields, the Setup button,
// and OK and Cancel; the texts of the selected printer behind those fields.
#pragma once

#include "platform/Window.h"

#include <string>
#include <vector>

class QTableWidget;

namespace pemberlux {

class CSearchDialog : public CDialog {
public:
    // Control ids and texts of one dialog's template.
    struct Layout {
        int search, list, setup, ok, cancel;
        // The "Device selected" fields, in the order they are shown.
        int serial, deviceName, mac, ip, monitorPort;
        std::string searchKey, setupKey; // template keys of the two buttons' texts
        int listName;                    // string id naming the list (its first column)
        int columnWidth;
        bool showSerialAndPort; // false: kept, not shown
    };

    QTableWidget* List() const;
    int SelectedRow() const { return selectedRow_; }

    // The buttons' handlers.
    virtual void OnSearch() = 0;
    virtual void OnSetupPrinter() = 0;
    virtual void OnOK() = 0;

protected:
    CSearchDialog(int dialogId, QWidget* parent, const Layout& layout);

    // The selected printer's texts into the fields.
    void UpdateControls();
    void ClearSelectedTexts();

    std::string serial_, deviceName_, mac_, ip_;
    int monitorPort_ = 0;
    int selectedRow_ = -1;

private:
    Layout ids_;
};

} // namespace pemberlux
