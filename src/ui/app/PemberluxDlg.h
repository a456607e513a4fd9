// The program's main window: the menu list on the left chooses the page shown
// in the page area on the right; below the list the selected printer model and
// interface. It holds the master settings record and hands every change to the
// pages, receives the pages' reports, switches the language (by starting the
// program anew) and opens the help file.
#pragma once

#include "ui/toolkit/Window.h"

#include <QColor>
#include <QPixmap>

#include <array>
#include <string>

class QListWidget;
class QStackedLayout;

namespace pemberlux {

class CPagePortSet;
class CPrintingSetupLB610_1;
class CInternalSetupTR510;
class CUpgradeFW;
class CCommandTest;
class CTestItemDialog;

class CPemberluxDlg final : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 102;
    enum : int {
        IDC_MENU_LIST = 1000,
        IDC_PAGE_TITLE = 1007,
        IDC_PRINTER_CAPTION = 1008,
        IDC_PRINTER_LABEL = 1009,
        IDC_INTERFACE_CAPTION = 1010,
        IDC_INTERFACE_LABEL = 1011,
        IDC_EXIT = 1012,
        IDC_PAGE_AREA = 1029,
        IDC_CHINESE = 1091,
        IDC_ENGLISH = 1092,
        IDC_HELP = 1108,
    };
    // Positions in the menu list.
    enum : int {
        MENU_INTERFACE = 0,
        MENU_PRINTER_SETUP = 1,
        MENU_FIRMWARE = 2,
        MENU_COMMAND_TEST = 3,
        MENU_TEST_ITEMS = 4,
    };
    static constexpr int IDM_ABOUTBOX = 16;
    static const QColor PANEL_COLOUR;

    explicit CPemberluxDlg(QWidget* parent = nullptr);
    ~CPemberluxDlg() override;

    // The interface page is shown first and exists from the start. The other
    // pages are built the first time they are shown, or asked for here.
    CPagePortSet* PortSetPage() const { return portSet_; }
    CPrintingSetupLB610_1* LabelSetupPage();
    // Created the first time a receipt printer's settings are shown; null before.
    CInternalSetupTR510* ReceiptSetupPage() const { return receiptSetup_; }
    CUpgradeFW* UpgradePage();
    CCommandTest* CommandTestPage();
    CTestItemDialog* TestItemsPage();
    // The settings page in use: the label or the receipt printers' one.
    CPage* CurrentSettingsPage();

    const PortSettings& MasterSettings() const { return settings_; }
    PortKind CurrentKind() const { return portKind_; }
    // Set by a language switch: the program is started anew when the window closes.
    bool RestartRequested() const { return restart_; }

    // Menu list selection: the page of the selected entry.
    void ShowPage();
    // The master record to every page and to the port layer.
    void DistributeSettings();
    // "Chinese" or "English": saved, then the program starts anew in it.
    void SwitchLanguage(const std::string& language);
    void ShowHelp();
    void ShowAbout();

protected:
    void OnMessage(const MessageEvent& message) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Stops the jobs of every page and of the window, and waits for them.
    void StopAllJobs();
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void BuildWindow();
    void CreatePages();
    void LoadSettings();
    void ApplySettings();
    void ApplyKindToControls(PortKind kind);
    void SetInterfaceLabel(PortKind kind, const PortSettings& settings);
    void UpdateData();
    void AddTestItemsEntry();
    void RemoveTestItemsEntry();
    void PlacePage(CPage* page);
    // The page in `slot`, built and given the settings the first time.
    template <class P> P* PageIn(P*& slot);
    void HandPortToPages();
    bool IsChinese() const;
    void SetPageTitle();
    void SetTitleFontAndLogo();

    QListWidget* menuList_ = nullptr;
    QStackedLayout* pageArea_ = nullptr;
    QWidget* logoSpace_ = nullptr;
    QPixmap logo_;

    CPagePortSet* portSet_ = nullptr;
    CPrintingSetupLB610_1* labelSetup_ = nullptr;
    CInternalSetupTR510* receiptSetup_ = nullptr;
    CUpgradeFW* upgrade_ = nullptr;
    CCommandTest* commandTest_ = nullptr;
    CTestItemDialog* testItems_ = nullptr;
    std::array<bool, 2> pageCreated_{false, false}; // label, receipt settings page
    CPage* currentSetup_ = nullptr;
    int tabCount_ = 0;

    PortSettings settings_;
    PortKind portKind_{};
    std::string printerLabel_;
    std::string interfaceLabel_;
    bool restart_ = false;
};

} // namespace pemberlux
