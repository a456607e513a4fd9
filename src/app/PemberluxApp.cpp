#include "app/PemberluxApp.h"

#include "app/PemberluxDlg.h"
#include "app/SettingsFile.h"
#include "platform/Platform.h"

#include <QCoreApplication>

namespace pemberlux {

int CPemberluxApp::InitInstance() {
    InitPlatform();
    QCoreApplication::setOrganizationName(QStringLiteral("Tavrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Pemberlux"));

    // The main thread's language decides the texts of every window.
    ChooseUiLanguage();

    CPemberluxDlg dialog;
    dialog.exec();
    return 0;
}

} // namespace pemberlux
