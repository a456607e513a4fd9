// The command test page: typed text or hexadecimal bytes sent to the printer
// once or in a loop, and whole files sent with a progress bar. Each send is a
// job; its Stop button ends it at once.
#pragma once

#include "core/command/SendJobs.h"
#include "ui/toolkit/Window.h"

#include <array>
#include <stop_token>

namespace pemberlux {

class CCommandTest final : public CPage {
    Q_OBJECT
public:
    static constexpr int IDD = 114;
    enum : int {
        IDC_INPUT = 1076,
        IDC_HEX_SEND = 1077,
        IDC_DATA_LOOP = 1078,
        IDC_FILE_LOOP = 1079,
        IDC_CLEAR_BOX = 1080,
        IDC_FILE_PATH = 1081,
        IDC_BROWSE = 1082,
        IDC_SEND_FILE = 1083,
        IDC_PROGRESS = 1084,
        IDC_SEND_DATA = 1090,
        IDC_STOP_SENDING = 1091,
        IDC_STOP_FILE = 1092,
        IDC_DATA_INTERVAL = 1140,
        IDC_FILE_INTERVAL = 1141,
    };
    // Off while a send runs.
    static constexpr std::array<int, 4> SEND_GROUP = {IDC_SEND_DATA, IDC_SEND_FILE, IDC_BROWSE, IDC_CLEAR_BOX};

    explicit CCommandTest(QWidget* parent = nullptr);
    ~CCommandTest() override;

    // The button handlers, as the buttons call them.
    void OnSendData();
    void OnClearBox();
    void OnStopSending();
    void OnBrowse();
    void OnSendFile();
    void OnStopFile();

private:
    void BuildPage();
    bool StartSendJob(std::function<void(const std::stop_token& stop)> body, std::stop_source& own);
    // Job side.
    void ShowProgress(const FileProgress& progress);
    void EndFileSend();

    // Whether the last file dialog was accepted.
    bool fileChosen_ = false;
    // The Stop buttons' stops of the running jobs, each new at its job's start.
    std::stop_source dataStop_;
    std::stop_source fileStop_;
};

} // namespace pemberlux
