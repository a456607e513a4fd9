// A working folder with (or without) pemberlux.ini, the locale, no USB printers
// unless a test adds some, and recorders in place of boxes and the desktop.
#pragma once

#include "QtTestSupport.h"
#include "Records.h"
#include "TempDir.h"
#include "core/base/SettingsFile.h"
#include "core/base/UiText.h"
#include "core/port/PrinterPort.h"
#include "ui/app/PemberluxDlg.h"
#include "ui/port/PagePortSet.h"
#include "ui/toolkit/MessageBox.h"
#include "ui/toolkit/Shell.h"

#include <QComboBox>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace pemberlux::test {

class ShellTest : public ::testing::Test {
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
        SetThreadUiLanguage(LANG_ENGLISH);
    }

    static PortSettings Record(const std::string& model = "LB-610", PortKind kind = PORT_USB) {
        return UserRecord(model, kind);
    }

    void WriteSettings(const PortSettings& s) { dir.Write(SETTINGS_FILE_NAME, FormatSettings(s)); }
    std::string SettingsText() const { return dir.Read(SETTINGS_FILE_NAME); }

    // Starts the program's window as the program does: language first.
    CPemberluxDlg& Start() {
        ChooseUiLanguage();
        window = std::make_unique<CPemberluxDlg>();
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return *window;
    }

    CPagePortSet& Page() const { return *window->PortSetPage(); }
    QComboBox* Models() const { return Page().ModelList(); }
    void ChooseModel(int position) {
        Models()->setCurrentIndex(position);
        emit Models()->activated(position);
    }
    // A click on the radio's indicator, where a user clicks.
    static void ClickRadio(QWidget* radio) {
        QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(8, radio->height() / 2));
    }
    void ClickInterface(int id) { ClickRadio(Page().Control(id)); }
    std::string Label(int id) const { return window->ControlText(id); }
    std::vector<std::string> MenuEntries() const {
        std::vector<std::string> entries;
        auto* list = window->ControlAs<QListWidget>(CPemberluxDlg::IDC_MENU_LIST);
        for (int i = 0; i < list->count(); ++i)
            entries.push_back(list->item(i)->text().toStdString());
        return entries;
    }
    void ChooseMenu(int row) { window->ControlAs<QListWidget>(CPemberluxDlg::IDC_MENU_LIST)->setCurrentRow(row); }

    TempDir dir;
    ScopedCwd cwd{dir.Path()};
    ScopedEnv lcAll{"LC_ALL", nullptr};
    ScopedEnv lcMessages{"LC_MESSAGES", nullptr};
    ScopedEnv lang{"LANG", "en_US.UTF-8"};
    ScopedEnv sysfs{"PEMBERLUX_SYSFS_ROOT", (dir / "no-sys").c_str()};
    ScopedEnv devRoot{"PEMBERLUX_DEV_ROOT", (dir / "no-dev").c_str()};
    MessageRecorder messages;
    ShellRecorder shell;
    std::unique_ptr<CPemberluxDlg> window;
};

} // namespace pemberlux::test
