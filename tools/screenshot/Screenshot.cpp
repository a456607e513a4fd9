// Pictures of the main window with each page, and of each dialog, in English
// and in Chinese, for checking the layouts by eye:
//
//   pemberlux-screenshot <output folder>
//
// Each language runs in a temporary working folder with a settings file of its
// own. Run it under a real X server (scripts/screenshot uses Xvfb) so fonts are
// rendered as users see them.
#include "app/AboutDlg.h"
#include "app/Models.h"
#include "app/PemberluxDlg.h"
#include "app/SettingsFile.h"
#include "app/UiText.h"
#include "network/CfgProtocol.h"
#include "network/EdtCfgDlg.h"
#include "network/EdtCfgDlgUSB.h"
#include "network/EnternetSetting.h"
#include "network/TR510EnthernetDlg.h"
#include "platform/Platform.h"
#include "port/PagePortSet.h"
#include "port/PortSetParallel.h"
#include "port/PortSetSerial.h"
#include "port/PortSetUSB.h"
#include "wireless/BluetoothSetupDlg.h"
#include "wireless/WifiSetupDlg_LB610.h"

#include "KvPrinterSim.h"
#include "PrintServerSim.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace pemberlux;

QString outDir;
int failures = 0;

void Settle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

void Save(QWidget* w, const QString& name) {
    Settle();
    const QString path = QDir(outDir).filePath(name + QStringLiteral(".png"));
    if (!w->grab().save(path)) {
        std::fprintf(stderr, "pemberlux-screenshot: can't write %s\n", qPrintable(path));
        ++failures;
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

// Runs the GUI thread until `done` holds, at most `seconds`.
void RunUntil(const std::function<bool()>& done, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < end) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

std::uint16_t FreeUdpPort() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    socklen_t size = sizeof local;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size);
    ::close(fd);
    return ntohs(local.sin_port);
}

// The network dialogs, their lists filled by simulated printers on the loopback
// broadcast (ports of their own), the first row clicked.
void ShootNetworkDialogs(CPemberluxDlg* window, const QString& lang) {
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
        Save(&dialog, QStringLiteral("dialog-%1-network-print-server").arg(lang));

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
        Save(&config, QStringLiteral("dialog-%1-network-config-print-server").arg(lang));
    }
    {
        const std::uint16_t port = FreeUdpPort();
        sim::KvPrinterFleet printers(2, port);
        CEnternetSetting dialog(window->PortSetPage(), window, port);
        dialog.SetSettings(settings);
        dialog.OnInitDialog();
        dialog.show();
        dialog.OnSearch();
        RunUntil([&] { return dialog.WorkersRunning() == 0; }, 15);
        dialog.OnRowClick(0);
        RunUntil([&] { return dialog.Control(CEnternetSetting::IDC_MONITOR_PORT)->property("text") != "0"; }, 6);
        Save(&dialog, QStringLiteral("dialog-%1-network-label").arg(lang));

        CEdtCfgDlg config(&dialog);
        config.SetKeyValueMode(printers[0].Config().mac);
        config.OnInitDialog();
        config.show();
        Save(&config, QStringLiteral("dialog-%1-network-config-label").arg(lang));
        dialog.reject();
    }
    CEdtCfgDlgUSB usb(window);
    usb.show();
    Save(&usb, QStringLiteral("dialog-%1-network-config-usb").arg(lang));
}

// The main window on `model` with every page it offers, then the dialogs.
void Shoot(const char* language, const std::string& model, int kind, bool dialogs) {
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    PortSettings s = DefaultPortSettings();
    s.language = language;
    s.modelName = model;
    s.portKind = kind;
    s.ipAddress = "127.0.0.1";
    s.SaveSettings();
    ChooseUiLanguage();

    const QString lang = QString::fromLatin1(language).toLower();
    const PrinterModel* known = ModelByName(model);
    const QString family =
        known && known->family == PrinterFamily::Receipt ? QStringLiteral("receipt") : QStringLiteral("label");
    auto window = std::make_unique<CPemberluxDlg>();
    window->show();
    auto* menu = window->ControlAs<QListWidget>(CPemberluxDlg::IDC_MENU_LIST);
    const char* pages[] = {"interface", "printer-setup", "firmware", "command-test", "test-items"};
    for (int row = 0; row < menu->count(); ++row) {
        menu->setCurrentRow(row);
        Save(window.get(), QStringLiteral("main-%1-%2-%3").arg(lang, family, QString::fromLatin1(pages[row])));
    }
    if (dialogs) {
        SerialDialogSettings = ParallelDialogSettings = window->MasterSettings();
        CPortSetSerial serial(window->PortSetPage(), window.get());
        serial.show();
        Save(&serial, QStringLiteral("dialog-%1-serial").arg(lang));
        CPortSetParallel parallel(window->PortSetPage(), window.get());
        parallel.show();
        Save(&parallel, QStringLiteral("dialog-%1-parallel").arg(lang));
        CPortSetUSB usb(window.get());
        usb.show();
        Save(&usb, QStringLiteral("dialog-%1-usb").arg(lang));
        if (family == QStringLiteral("label")) {
            CWifiSetupDlg_LB610 wifi(window->MasterSettings(), window.get());
            wifi.show();
            Save(&wifi, QStringLiteral("dialog-%1-wifi").arg(lang));
            CBluetoothSetupDlg bluetooth(window->MasterSettings(), window.get());
            bluetooth.show();
            Save(&bluetooth, QStringLiteral("dialog-%1-bluetooth").arg(lang));
        }
        CAboutDlg about(window.get());
        about.show();
        Save(&about, QStringLiteral("dialog-%1-about").arg(lang));
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Pemberlux"), QString::fromStdString(LoadUiString(206)),
                        QMessageBox::Ok, window.get());
        box.show();
        Save(&box, QStringLiteral("dialog-%1-message").arg(lang));
        ShootNetworkDialogs(window.get(), lang);
    }
    window->hide();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    InitPlatform();
    if (argc != 2) {
        std::fprintf(stderr, "usage: pemberlux-screenshot <output folder>\n");
        return 2;
    }
    outDir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(outDir);
    const QString home = QDir::currentPath();
    for (const char* language : {"English", "Chinese"}) {
        SetThreadUiLanguage(LanguageIdOf(language));
        Shoot(language, ModelName(ModelById(ModelId::LB610), LanguageIdOf(language)), PORT_USB, true);
        Shoot(language, ModelName(ModelById(ModelId::TR520), LanguageIdOf(language)), PORT_COM, false);
    }
    QDir::setCurrent(home);
    return failures ? 1 : 0;
}
