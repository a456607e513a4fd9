// The firmware and character generator upgrade page: a label printer is put
// into download mode, then the chosen file goes to the printer in about one
// hundred blocks with progress. Both are jobs; closing the window ends them.
#pragma once

#include "core/command/Firmware.h"
#include "ui/toolkit/Window.h"

#include <array>
#include <memory>

namespace pemberlux {

class CUpgradeFW final : public CPage {
    Q_OBJECT
public:
    static constexpr int IDD = 108;
    enum : int {
        IDC_FILE_PATH = 1043,
        IDC_BROWSE = 1044,
        IDC_UPDATE = 1045,
        IDC_PROGRESS = 1046,
        IDC_INSTRUCTIONS = 1128,
        IDC_DOWNLOAD_MODE = 1227,
        IDC_WAIT_NOTICE = 1228,
    };
    // Off while a transfer runs.
    static constexpr std::array<int, 3> TRANSFER_GROUP = {IDC_UPDATE, IDC_DOWNLOAD_MODE, IDC_BROWSE};

    explicit CUpgradeFW(QWidget* parent = nullptr);
    ~CUpgradeFW() override;

    void SetSettings(const PortSettings& settings) override;

    // The button handlers, as the buttons call them.
    void OnBrowse();
    void OnDownloadMode();
    void OnUpdate();

    // Update and Download Mode by the port kind, the model and the two flags,
    // and the instruction text; called whenever one of them changes.
    void ApplyButtonRule();

    bool Updating() const { return updating_; }
    bool DownloadModeSent() const { return downloadMode_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildPage();
    // Job side.
    void ShowProgress(const FirmwareProgress& progress);
    void EndTransfer();

    // Whether the last file dialog was accepted.
    bool fileChosen_ = false;
    // From the click on Update until the transfer ends (GUI thread only).
    bool updating_ = false;
    // From the click on Download Mode until it fails or the next transfer ends.
    bool downloadMode_ = false;
    // How the running Download Mode job ended, for a transfer that waits for it.
    struct DownloadModeEnd;
    std::shared_ptr<DownloadModeEnd> downloadModeEnd_;
};

} // namespace pemberlux
