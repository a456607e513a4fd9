// Writes the help file of every model in both languages, named as the program
// looks for it: the model's name followed by string 179 ("LB-610Pemberlux Help
// File.pdf"). Each family has one text per language (<family>.<en|zh>.md in
// the source folder); "{model}" in it stands for the model's name.
//
//   pemberlux-helpgen <source folder> <output folder>
#include "core/base/Models.h"
#include "core/base/UiText.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

#include <cstdio>
#include <utility>

namespace {

using namespace pemberlux;

// The text of a model's family in one language.
QString SourceName(const PrinterModel& model, int language) {
    return QStringLiteral("%1.%2.md")
        .arg(model.family == PrinterFamily::Receipt ? QStringLiteral("receipt") : QStringLiteral("label"),
             language == LANG_CHINESE ? QStringLiteral("zh") : QStringLiteral("en"));
}

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
    // One file for each model under each name the model list shows.
    for (const auto& [language, settingsLanguage] : {std::pair{LANG_ENGLISH, "English"}, {LANG_CHINESE, "Chinese"}}) {
        for (const PrinterModel& m : MODELS) {
            if (!IsListed(m, settingsLanguage)) continue;
            QFile text(source.filePath(SourceName(m, language)));
            if (!text.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "pemberlux-helpgen: can't read %s\n", qPrintable(text.fileName()));
                return 1;
            }
            const QString model = QString::fromStdString(ModelName(m, language));
            QString markdown = QString::fromUtf8(text.readAll());
            markdown.replace(QStringLiteral("{model}"), model);
            const QString path =
                out.filePath(model + QString::fromStdString(LoadUiString(StringId::HelpFileName, language)));
            if (!Write(markdown, path, language)) {
                std::fprintf(stderr, "pemberlux-helpgen: can't write %s\n", qPrintable(path));
                return 1;
            }
        }
    }
    return 0;
}
