// Writes the help file of every model in both languages, named as the program
// looks for it: the model's name followed by string 179 ("LB-610Pemberlux Help
// File.pdf"). Each family has one text per language (<family>.<en|zh>.md in
// the source folder); "{model}" in it stands for the model's name.
//
//   pemberlux-helpgen <source folder> <output folder>
#include "app/UiText.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

#include <cstdio>

namespace {

using namespace pemberlux;

struct HelpFile {
    int modelString;
    int language;
    const char* source;
};

const HelpFile FILES[] = {
    {136, LANG_ENGLISH, "label.en.md"},   {217, LANG_ENGLISH, "label.en.md"},   {224, LANG_ENGLISH, "label.en.md"},
    {137, LANG_ENGLISH, "receipt.en.md"}, {138, LANG_ENGLISH, "receipt.en.md"}, {136, LANG_CHINESE, "label.zh.md"},
    {217, LANG_CHINESE, "label.zh.md"},   {137, LANG_CHINESE, "receipt.zh.md"}, {138, LANG_CHINESE, "receipt.zh.md"},
};

bool Write(const QString& markdown, const QString& path, int language) {
    QPdfWriter pdf(path);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setResolution(150);
    pdf.setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter);
    pdf.setTitle(QFileInfo(path).completeBaseName());
    pdf.setCreator(QStringLiteral("Pemberlux"));

    QTextDocument doc;
    QFont font(language == LANG_CHINESE ? QStringLiteral("Noto Sans CJK SC") : QStringLiteral("DejaVu Sans"));
    font.setPointSize(10);
    doc.setDefaultFont(font);
    doc.setMarkdown(markdown);
    doc.print(&pdf);
    return QFileInfo(path).size() > 0;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: pemberlux-helpgen <source folder> <output folder>\n");
        return 2;
    }
    const QDir source(QString::fromLocal8Bit(argv[1]));
    QDir out(QString::fromLocal8Bit(argv[2]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "pemberlux-helpgen: can't create %s\n", argv[2]);
        return 1;
    }
    for (const HelpFile& f : FILES) {
        QFile text(source.filePath(QString::fromLatin1(f.source)));
        if (!text.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "pemberlux-helpgen: can't read %s\n", qPrintable(text.fileName()));
            return 1;
        }
        const QString model = QString::fromStdString(LoadUiString(f.modelString, f.language));
        QString markdown = QString::fromUtf8(text.readAll());
        markdown.replace(QStringLiteral("{model}"), model);
        const QString path = out.filePath(model + QString::fromStdString(LoadUiString(179, f.language)));
        if (!Write(markdown, path, f.language)) {
            std::fprintf(stderr, "pemberlux-helpgen: can't write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
