#include "ui/app/PemberluxApp.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    pemberlux::CPemberluxApp theApp;
    return theApp.InitInstance();
}
