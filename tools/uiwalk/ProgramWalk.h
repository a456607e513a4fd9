// The program as a user goes through it, for pictures and checks of every page
// and dialog: the main window opened as the program opens it, each entry of the
// menu list in turn, then every dialog the program can open, each shown as it
// opens. A page added to the main window's menu is walked with no change here;
// a new dialog takes one entry in ProgramDialogs().
#pragma once

#include <QString>

#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace pemberlux {
class CPemberluxDlg;
}

namespace pemberlux::uiwalk {

// Called with each window as the user sees it, laid out, and its name:
// "main-<language>-<family>-<page>" or "dialog-<language>-<dialog>".
using Visitor = std::function<void(QWidget& shown, const QString& name)>;

enum class Walk { Everything, PagesOnly };

// The main window in `language` ("English" or "Chinese") on a label printer and
// on a receipt printer, every page, then every dialog. Each printer runs in a
// temporary working folder of its own; the working folder is restored after.
void WalkProgram(const std::string& language, const Visitor& visit, Walk what = Walk::Everything);

// One dialog the program can open, or a few that open one another: `show`
// builds each over the main window as the program does, with what it shows
// filled in (simulated printers where it lists printers), shows it and hands it
// to the visitor with its name ("serial": the picture is
// "dialog-<language>-serial"), then closes it.
struct DialogEntry {
    QString name;
    std::function<void(CPemberluxDlg& window, const Visitor& visit)> show;
};
const std::vector<DialogEntry>& ProgramDialogs();

// Runs the GUI thread until pending layouts and paints are done.
void Settle();

} // namespace pemberlux::uiwalk
