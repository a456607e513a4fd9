#include "ProgramWalk.h"

#include "core/base/Models.h"
#include "core/base/SettingsFile.h"
#include "core/base/UiText.h"
#include "core/network/KvProtocol.h"
#include "ui/app/AboutDlg.h"
#include "ui/app/PemberluxApp.h"
#include "ui/app/PemberluxDlg.h"
#include "ui/network/EdtCfgDlg.h"
#include "ui/network/EdtCfgDlgUSB.h"
#include "ui/network/EnternetSetting.h"
#include "ui/network/TR510EnthernetDlg.h"
#include "ui/port/PagePortSet.h"
#include "ui/port/PortSetParallel.h"
#include "ui/port/PortSetSerial.h"
#include "ui/port/PortSetUSB.h"
#include "ui/toolkit/MessageBox.h"
#include "ui/toolkit/Platform.h"
#include "ui/wireless/BluetoothSetupDlg.h"
#include "ui/wireless/WifiSetupDlg_LB610.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

#include "KvPrinterSim.h"
#include "PrintServerSim.h"
#include "Transports.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pemberlux::uiwalk {

namespace {

// Names of the menu list's positions in the pictures.
const char* const PAGE_NAMES[] = {"interface", "printer-setup", "firmware", "command-test", "test-items"};

void ShowAndVisit(QWidget& dialog, const QString& name, const Visitor& visit) {
    dialog.show();
    Settle();
    visit(dialog, name);
    dialog.hide();
}

// Runs the GUI thread until `done` holds, at most `seconds`.
void RunUntil(const std::function<bool()>& done, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < end) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

// The network dialogs, their lists filled by simulated printers on the loopback
// broadcast (ports of their own), the first row clicked.
void ShowNetworkDialogs(CPemberluxDlg& w, const Visitor& visit) {
    CPemberluxDlg* window = &w;
    const PortSettings settings = window->MasterSettings();
    {
        sim::PrintServerSim servers(0);
        for (int n = 0; n < 2; ++n)
            servers.Add(sim::MakePrintServer(n));
        CTR510EnthernetDlg dialog(window->PortSetPage(), window, servers.Port());
        dialog.SetSettings(settings);
        dialog.OnInitDialog();
        dialog.show();
        dialog.OnSearch();
        RunUntil([&] { return dialog.WorkersRunning() == 0; }, 15);
        dialog.OnRowClick(0);
        Settle();
        visit(dialog, QStringLiteral("network-print-server"));

        const sim::VirtualPrintServer server = sim::MakePrintServer(0);
        const sim::Bytes answer = sim::SearchAnswer(server);
        DiscoveryRecord record;
        std::copy(answer.begin(), answer.end(), record.bytes.begin());
        CEdtCfgDlg config(window);
        config.SetLanguage(settings.language);
        config.SetPrintServerMode(server.deviceName, record.MacText(), "", record, servers.Port());
        config.OnInitDialog();
        config.show();
        RunUntil([&] { return config.WorkersRunning() == 0; }, 5);
        Settle();
        visit(config, QStringLiteral("network-config-print-server"));
    }
    {
        const std::uint16_t port = sim::FreeUdpPort();
        sim::KvPrinterFleet printers(2, port);
        CEnternetSetting dialog(window->PortSetPage(), window, port);
        dialog.SetSettings(settings);
        dialog.OnInitDialog();
        dialog.show();
        dialog.OnSearch();
        RunUntil([&] { return dialog.WorkersRunning() == 0; }, 15);
        dialog.OnRowClick(0);
        RunUntil([&] { return dialog.Control(CEnternetSetting::IDC_MONITOR_PORT)->property("text") != "0"; }, 6);
        Settle();
        visit(dialog, QStringLiteral("network-label"));

        CEdtCfgDlg config(&dialog);
        config.SetKeyValueMode(printers[0].Config().mac);
        config.OnInitDialog();
        config.show();
        Settle();
        visit(config, QStringLiteral("network-config-label"));
        dialog.reject();
    }
    CEdtCfgDlgUSB usb(window);
    ShowAndVisit(usb, QStringLiteral("network-config-usb"), visit);
}

struct Printer {
    ModelId model;
    PortKind kind;
};

// The main window on one printer, every page of its menu list, then the
// dialogs when asked.
void WalkWindow(const std::string& language, const Printer& printer, bool dialogs, const Visitor& visit) {
    QTemporaryDir work;
    const QString home = QDir::currentPath();
    QDir::setCurrent(work.path());
    const int lang = LanguageIdOf(language);
    const PrinterModel& model = ModelById(printer.model);
    PortSettings s = DefaultPortSettings();
    s.language = language;
    s.modelName = ModelName(model, lang);
    s.portKind = printer.kind;
    // Device names as Linux gives them, the longest a user commonly sees.
    s.comName = "/dev/ttyUSB0";
    s.baudRate = "115200";
    s.ipAddress = "127.0.0.1";
    s.SaveSettings();
    ChooseUiLanguage();
    UseQtTranslations(lang);
    const QFont font = QApplication::font();
    UseMainWindowFont();

    const QString lower = QString::fromStdString(language).toLower();
    const QString family = model.family == PrinterFamily::Receipt ? QStringLiteral("receipt") : QStringLiteral("label");
    {
        // As the program opens it.
        CPemberluxDlg window;
        window.show();
        Settle();
        auto* menu = window.ControlAs<QListWidget>(CPemberluxDlg::IDC_MENU_LIST);
        for (int row = 0; row < menu->count(); ++row) {
            menu->setCurrentRow(row);
            Settle();
            const QString page = row < static_cast<int>(std::size(PAGE_NAMES)) ? QString::fromLatin1(PAGE_NAMES[row])
                                                                               : QStringLiteral("page%1").arg(row);
            visit(window, QStringLiteral("main-%1-%2-%3").arg(lower, family, page));
        }
        menu->setCurrentRow(0);
        if (dialogs) {
            for (const DialogEntry& entry : ProgramDialogs()) {
                entry.show(window, [&](QWidget& shown, const QString& name) {
                    visit(shown, QStringLiteral("dialog-%1-%2").arg(lower, name));
                });
            }
        }
        window.hide();
    }
    QApplication::setFont(font);
    UseQtTranslations(LANG_ENGLISH);
    QDir::setCurrent(home);
}

} // namespace

void Settle() {
    // Offscreen everything happens at once; a display server answers a little later.
    const bool offscreen = QGuiApplication::platformName() == QLatin1String("offscreen");
    for (int i = 0; i < (offscreen ? 3 : 20); ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
        if (!offscreen) QThread::msleep(10);
    }
}

const std::vector<DialogEntry>& ProgramDialogs() {
    static const std::vector<DialogEntry> dialogs = {
        {QStringLiteral("serial"),
         [](CPemberluxDlg& window, const Visitor& visit) {
             SerialDialogSettings = window.MasterSettings();
             CPortSetSerial dialog(window.PortSetPage(), &window);
             ShowAndVisit(dialog, QStringLiteral("serial"), visit);
         }},
        {QStringLiteral("parallel"),
         [](CPemberluxDlg& window, const Visitor& visit) {
             ParallelDialogSettings = window.MasterSettings();
             CPortSetParallel dialog(window.PortSetPage(), &window);
             ShowAndVisit(dialog, QStringLiteral("parallel"), visit);
         }},
        {QStringLiteral("usb"),
         [](CPemberluxDlg& window, const Visitor& visit) {
             CPortSetUSB dialog(&window);
             ShowAndVisit(dialog, QStringLiteral("usb"), visit);
         }},
        {QStringLiteral("about"),
         [](CPemberluxDlg& window, const Visitor& visit) {
             CAboutDlg dialog(&window);
             ShowAndVisit(dialog, QStringLiteral("about"), visit);
         }},
        {QStringLiteral("network"), ShowNetworkDialogs},
        {QStringLiteral("wifi"),
         [](CPemberluxDlg& window, const Visitor& visit) {
             CWifiSetupDlg_LB610 dialog(window.MasterSettings(), &window);
             ShowAndVisit(dialog, QStringLiteral("wifi"), visit);
         }},
        {QStringLiteral("bluetooth"),
         [](CPemberluxDlg& window, const Visitor& visit) {
             CBluetoothSetupDlg dialog(window.MasterSettings(), &window);
             ShowAndVisit(dialog, QStringLiteral("bluetooth"), visit);
         }},
        {QStringLiteral("message"),
         [](CPemberluxDlg& window, const Visitor& visit) {
             // The longest one-line message, as the program's boxes show it.
             QMessageBox box(QMessageBox::Warning, QString::fromStdString(ApplicationTitle()),
                             QString::fromStdString(LoadUiString(StringId::LanConnectFailed)), QMessageBox::Ok,
                             &window);
             ShowAndVisit(box, QStringLiteral("message"), visit);
         }},
    };
    return dialogs;
}

void WalkProgram(const std::string& language, const Visitor& visit, Walk what) {
    WalkWindow(language, {ModelId::LB610, PORT_USB}, what == Walk::Everything, visit);
    WalkWindow(language, {ModelId::TR520, PORT_COM}, false, visit);
}

} // namespace pemberlux::uiwalk
