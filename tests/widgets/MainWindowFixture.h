// The program's main window started on a settings file written into a temporary
// working folder, in English, with no USB printer selected.
#pragma once

#include "QtTestSupport.h"
#include "Records.h"
#include "TempDir.h"
#include "app/PemberluxDlg.h"
#include "app/SettingsFile.h"
#include "app/UiText.h"
#include "port/PagePortSet.h"
#include "port/PortSettings.h"
#include "port/PrinterPort.h"

#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace pemberlux::test {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetThreadUiLanguage(LANG_ENGLISH);
        UsbVendorId = "";
        UsbSecondId = "";
        UsbVendorOnly = 0;
        CurrentPortSettings = SerialDialogSettings = ParallelDialogSettings = PortSettings{};
    }
    void TearDown() override {
        if (window) window->hide();
        window.reset();
    }

    void Start(const PortSettings& s) {
        dir.Write(SETTINGS_FILE_NAME, FormatSettings(s));
        ChooseUiLanguage();
        window = std::make_unique<CPemberluxDlg>();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    CPagePortSet& InterfacePage() const { return *window->PortSetPage(); }
    std::string SettingsText() const { return dir.Read(SETTINGS_FILE_NAME); }

    TempDir dir;
    ScopedCwd cwd{dir.Path()};
    ScopedEnv lcAll{"LC_ALL", nullptr};
    std::unique_ptr<CPemberluxDlg> window;
};

} // namespace pemberlux::test
