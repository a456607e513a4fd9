// The test items page of the receipt printers: character print tests, black
// mark, cutter, drawer and baud-rate commands, a black bar and the test data
// file. Every button starts a job that sends its bytes; while one runs the
// test buttons are off, except "Stop test", which ends the repeating ASCII test.
#pragma once

#include "core/port/SendToPrinter.h"
#include "core/testitems/TestCommands.h"
#include "ui/toolkit/Window.h"

#include <array>
#include <functional>
#include <stop_token>

namespace pemberlux {

class CTestItemDialog final : public CPage {
    Q_OBJECT
public:
    static constexpr int IDD = 216;
    enum : int {
        IDC_CHINESE_AREA = 1156,
        IDC_CHINESE_DOUBLE_WIDTH = 1157,
        IDC_CHINESE_DOUBLE_HEIGHT = 1158,
        IDC_CHINESE_UNDERLINE = 1159,
        IDC_CHINESE_START = 1160,
        IDC_CHINESE_STOP = 1161,
        IDC_ASCII_PRINT = 1162,
        IDC_H_PRINT = 1165,
        IDC_I_PRINT = 1166,
        IDC_FONT = 1167,
        IDC_ASCII_DOUBLE_WIDTH = 1169,
        IDC_ASCII_DOUBLE_HEIGHT = 1170,
        IDC_ASCII_UNDERLINE = 1171,
        IDC_ASCII_START = 1172,
        IDC_ASCII_STOP = 1173,
        IDC_BLACK_MARK_ENABLE = 1177,
        IDC_BLACK_MARK_DISABLE = 1178,
        IDC_BLACK_MARK_TEST = 1179,
        IDC_BLACK_MARK_END = 1180,
        IDC_CUT_AFTER_PRINT = 1181,
        IDC_CARRIAGE = 1182,
        IDC_FEED = 1183,
        IDC_HEAD_PIN = 1184,
        IDC_BLACK_PRN = 1188,
        IDC_CUT_DISABLE = 1189,
        IDC_PARTIAL_CUT = 1190,
        IDC_DRAWER1 = 1191,
        IDC_BAUD_RATE = 1192,
        IDC_FULL_CUT = 1193,
        IDC_CUT_ENABLE = 1194,
        IDC_TEST_PRN = 1195,
        IDC_DRAWER2 = 1196,
        IDC_BAUD_OK = 1198,
    };
    // What UpdateTestButtons switches, in its order, and the cutter buttons after them.
    static constexpr std::array<int, 13> TEST_BUTTONS = {
        IDC_CHINESE_START,   IDC_ASCII_START, IDC_BLACK_MARK_ENABLE, IDC_BLACK_MARK_DISABLE, IDC_CARRIAGE,
        IDC_BLACK_MARK_TEST, IDC_FEED,        IDC_HEAD_PIN,          IDC_BLACK_PRN,          IDC_TEST_PRN,
        IDC_DRAWER1,         IDC_DRAWER2,     IDC_BAUD_OK,
    };
    static constexpr std::array<int, 4> CUTTER_BUTTONS = {IDC_CUT_ENABLE, IDC_CUT_DISABLE, IDC_FULL_CUT,
                                                          IDC_PARTIAL_CUT};

    explicit CTestItemDialog(QWidget* parent = nullptr);
    ~CTestItemDialog() override;

    // A change of model or interface ends the repeating ASCII test.
    void SetSettings(const PortSettings& settings) override;

    // Enables or disables the test buttons; a printer without a cutter has its
    // cutter buttons and "Cut Paper After Print" off whatever is asked.
    void UpdateTestButtons(bool enabled);

protected:
    void changeEvent(QEvent* event) override;

private:
    void BuildPage();
    void ConnectButtons();
    FontStyle StyleOf(int doubleWidth, int doubleHeight, int underline) const;

    // Starts a job sending `bytes` once.
    void SendOnce(Bytes bytes);
    // Starts `body` as a job holding the test buttons; false when one runs.
    bool StartTestJob(std::function<void(const std::stop_token&)> body);
    void OnChineseTest();
    void OnAsciiTest();
    void OnStopTest();
    void OnTestFile();
    // Job side: sends and shows what a failure calls for; true when sent.
    bool Send(const std::stop_token& stop, const PortSettings& snapshot, const UsbSelection& usb,
              std::span<const std::uint8_t> bytes);

    // The stop of the repeating ASCII test, new at its start.
    std::stop_source asciiStop_;
};

} // namespace pemberlux
