// Pictures of the main window with each page, and of each dialog, in English
// and in Chinese, at the size the program opens them, for checking the layouts
// by eye:
//
//   pemberlux-screenshot <output folder>
//
// Texts that do not fit their controls are listed on stderr as well. Run it
// under a real X server (scripts/screenshot uses Xvfb) so fonts are rendered as
// users see them.
#include "ProgramWalk.h"
#include "TextFit.h"

#include "core/base/UiText.h"
#include "ui/toolkit/Platform.h"

#include <QApplication>
#include <QDir>
#include <QWidget>

#include <cstdio>

namespace {

using namespace pemberlux;

QString outDir;
int failures = 0;
int clipped = 0;

void Save(QWidget& w, const QString& name) {
    const QString path = QDir(outDir).filePath(name + QStringLiteral(".png"));
    if (!w.grab().save(path)) {
        std::fprintf(stderr, "pemberlux-screenshot: can't write %s\n", qPrintable(path));
        ++failures;
        return;
    }
    std::printf("%s\n", qPrintable(path));
    for (const uiwalk::Clipping& c : uiwalk::FindClippedTexts(&w)) {
        std::fprintf(stderr, "pemberlux-screenshot: %s: %s\n", qPrintable(name), c.Describe().c_str());
        ++clipped;
    }
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
    for (const char* language : {"English", "Chinese"}) {
        SetThreadUiLanguage(LanguageIdOf(language));
        uiwalk::WalkProgram(language, Save);
    }
    if (clipped) std::fprintf(stderr, "pemberlux-screenshot: %d texts do not fit their controls\n", clipped);
    return failures ? 1 : 0;
}
