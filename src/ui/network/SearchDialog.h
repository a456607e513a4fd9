// What the two network search dialogs share: a Search button over the list of
// the printers that answered, the "Device selected" fields, the Setup button,
// and OK and Cancel; the texts of the selected printer behind those fields.
#pragma once

#include "core/base/PortSettings.h"
#include "core/base/StringId.h"
#include "ui/toolkit/Window.h"

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
        StringId listName; // names the list (its first column)
        int columnWidth;
        bool showSerialAndPort; // false: kept, not shown
    };
    // The layout of dialog class `D` from its control ids (IDC_SEARCH, ...).
    template <class D> static Layout LayoutOf(StringId listName, int columnWidth, bool showSerialAndPort) {
        return {D::IDC_SEARCH, D::IDC_LIST,        D::IDC_SETUP,     D::IDC_OK, D::IDC_CANCEL,
                D::IDC_SERIAL, D::IDC_DEVICE_NAME, D::IDC_MAC,       D::IDC_IP, D::IDC_MONITOR_PORT,
                listName,      columnWidth,        showSerialAndPort};
    }

    QTableWidget* List() const;
    int SelectedRow() const { return selectedRow_; }

    // Runs the dialog from an empty list.
    int DoModal();
    virtual void OnInitDialog() = 0;
    // The buttons' handlers.
    virtual void OnSearch() = 0;
    virtual void OnSetupPrinter() = 0;
    virtual void OnOK() = 0;

protected:
    CSearchDialog(int dialogId, QWidget* parent, const Layout& layout);

    // The buttons a job holds.
    std::vector<int> Buttons() const { return {ids_.search, ids_.setup, ids_.ok, ids_.cancel}; }
    // The selected printer's texts into the fields.
    void UpdateControls();
    void ClearSelectedTexts();
    // OK with a printer chosen: its address and print port, where it has them,
    // go into `settings`, which go to `owner`; the dialog closes.
    void AcceptSelection(QObject* owner, PortSettings& settings);

    std::string serial_, deviceName_, mac_, ip_;
    int monitorPort_ = 0;
    int selectedRow_ = -1;

private:
    Layout ids_;
};

} // namespace pemberlux
