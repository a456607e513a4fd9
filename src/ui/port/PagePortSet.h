// The first page of the main window: the printer model and the interface it is
// attached by, the interface's own settings dialog, and the printer-side Wi-Fi
// reset, Wi-Fi setup and Bluetooth settings. Every change is saved at once and
// reported to the main window.
#pragma once

#include "core/base/Models.h"
#include "ui/toolkit/Window.h"

#include <stop_token>
#include <string>
#include <vector>

class QComboBox;

namespace pemberlux {

class CPagePortSet final : public CPage {
    Q_OBJECT
public:
    static constexpr int IDD = 105;
    enum : int {
        IDC_MODEL_LIST = 1035,
        IDC_SERIAL = 1036,
        IDC_PARALLEL = 1037,
        IDC_USB = 1038,
        IDC_NETWORK = 1039,
        IDC_SETTING = 1047,
        IDC_SEND_CONFIG = 1048,
        IDC_MODEL_GROUP = 1153,
        IDC_MODEL_PROMPT = 1154,
        IDC_RESET_WIFI = 1157,
        IDC_WIFI_SETUP = 1223,
        IDC_BLUETOOTH = 1229,
    };

    explicit CPagePortSet(QWidget* parent = nullptr);
    ~CPagePortSet() override;

    QComboBox* ModelList() const;
    // The selected model, null when none is.
    const PrinterModel* SelectedModel() const;
    // Selects `model` (nothing when it is null or not in the list) without acting on it.
    void SelectModel(const PrinterModel* model);
    // Adds the models listed only in English when the settings language is
    // English, and takes them out otherwise.
    void ListModelsFor(const std::string& settingsLanguage);

    PortKind CurrentKind() const { return currentKind_; }
    void SetCurrentKind(PortKind kind) { currentKind_ = kind; }
    // Checks the radio button of `kind` (none for other kinds) without acting on it.
    void CheckInterface(PortKind kind);
    // The model's group caption and prompt, and its "Reset Wi-Fi settings",
    // "Wi-Fi Setup" and "Bluetooth Settings" buttons. Without a model the
    // buttons are hidden and the texts stay as they are.
    void ShowModel(const PrinterModel* model);

    // The network dialog that "Setting" opens for the model named `model`.
    using NetworkDialog = pemberlux::NetworkDialog;
    static NetworkDialog NetworkDialogFor(const std::string& model);

    // The handlers, as the controls call them.
    void OnModelChanged();
    void SelectSerial();
    void SelectParallel();
    void SelectUsb();
    void SelectNetwork();
    void OpenInterfaceDialog();
    // The Wi-Fi and Bluetooth dialogs of the label printers, run modally.
    void OpenWifiSetup();
    void OpenBluetoothSettings();
    // The two jobs of the page; false when one of them is running already.
    bool StartResetWifi();
    bool StartSerialConfig(bool apply);

protected:
    void OnMessage(const MessageEvent& message) override;

private:
    void SelectKind(PortKind kind);
    // The controls a job of the page holds.
    static std::vector<int> ExchangeControls();
    // On a worker: the new serial settings to the printer, over USB when a
    // printer is attached there, else over the serial line still set the old way.
    void SendSerialConfig(const std::stop_token& stop, const PortSettings& pending, const PrinterModel* model,
                          const PortSettings& current, const UsbSelection& usb);

    PortKind currentKind_ = PORT_COM;
    PortSettings pending_;
    PortSettings networkSettings_;
};

} // namespace pemberlux
