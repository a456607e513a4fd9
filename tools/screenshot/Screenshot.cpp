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
#include "platform/Platform.h"
#include "port/PagePortSet.h"
#include "port/PortSetParallel.h"
#include "port/PortSetSerial.h"
#include "port/PortSetUSB.h"
#include "wireless/BluetoothSetupDlg.h"
#include "wireless/WifiSetupDlg_LB610.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <memory>

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
