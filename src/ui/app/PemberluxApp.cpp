#include "ui/app/PemberluxApp.h"

#include "core/base/SettingsFile.h"
#include "core/base/UiText.h"
#include "ui/app/PemberluxDlg.h"
#include "ui/toolkit/Platform.h"

#include <QApplication>

namespace pemberlux {

int CPemberluxApp::InitInstance() {
    InitPlatform();
    QCoreApplication::setOrganizationName(QStringLiteral("Tavrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Pemberlux"));
    // The desktop entry the window belongs to (its icon on the task bar).
    QGuiApplication::setDesktopFileName(QStringLiteral("pemberlux"));

    // The main thread's language decides the texts of every window.
    ChooseUiLanguage();
    UseQtTranslations(ThreadUiLanguage());
    UseMainWindowFont();

    CPemberluxDlg dialog;
    dialog.exec();
    return 0;
}

void UseMainWindowFont() {
    QApplication::setFont(TemplateFont(CPemberluxDlg::IDD, QApplication::font()));
}

} // namespace pemberlux
