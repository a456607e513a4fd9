#include "core/base/Version.h"
#include "ui/app/PemberluxApp.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* HELP = R"(Usage: pemberlux [--help] [--version]

Sets up Tavrel label printers (LB-610, LB-710, LB-600) and mini receipt
printers (TR-510, TR-520/TR-530) in a window, in English or Simplified
Chinese: pick the printer model and the interface (serial line, parallel port,
USB printer, network), then read and change the printer's settings, run its
tests, send data, firmware and fonts, and find and configure network printers.

The program keeps its settings in pemberlux.ini in its working folder. The
desktop entry starts it through the launcher pemberlux, which runs it in
$XDG_CONFIG_HOME/pemberlux (~/.config/pemberlux), the folder pemberlux-cli reads
the same file from. Help opens the model's help file (PDF) from the working
folder or from the installation.

Options:
  --help       this text
  --version    the program's version

Environment:
  PEMBERLUX_BROADCAST_ADDR  where the network searches broadcast to
                            (default 255.255.255.255)
  PEMBERLUX_SYSFS_ROOT, PEMBERLUX_DEV_ROOT
                            where USB printers are looked for (default /sys
                            and /dev)
  LC_ALL, LC_MESSAGES, LANG on first start, a Chinese locale (zh_CN, zh_SG, zh)
                            selects the Chinese interface

A USB printer the user may not open: the package's udev rule gives the
logged-in user the Tavrel printers; serial lines need the group dialout,
parallel ports the group lp.
)";

} // namespace

int main(int argc, char** argv) {
    // Answered without a display, so the manual page can be made from them.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(HELP, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("pemberlux " PEMBERLUX_VERSION);
            return 0;
        }
    }
    QApplication app(argc, argv);
    pemberlux::CPemberluxApp theApp;
    return theApp.InitInstance();
}
