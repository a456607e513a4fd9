// The application icon in the hicolor sizes a desktop asks for, rendered from
// the program's own pictures: each size a whole multiple of the 16 or 32 pixel
// original, its pixels repeated, so the drawing stays sharp.
//
//   pemberlux-iconrender <folder of icon145_16.xpm and icon145_32.xpm> <output folder>
//
// Writes <output folder>/hicolor/<n>x<n>/apps/pemberlux.png.
#include <QDir>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pemberlux-iconrender <image folder> <output folder>\n");
        return 2;
    }
    const QDir images(QString::fromLocal8Bit(argv[1]));
    const QDir out(QString::fromLocal8Bit(argv[2]));
    const QImage small(images.filePath(QStringLiteral("icon145_16.xpm")));
    const QImage large(images.filePath(QStringLiteral("icon145_32.xpm")));
    if (small.isNull() || large.isNull()) {
        std::fprintf(stderr, "pemberlux-iconrender: can't read the icons in %s\n", argv[1]);
        return 1;
    }
    // Size, and the original it is drawn from.
    const struct {
        int size;
        const QImage& from;
    } sizes[] = {{16, small}, {32, large}, {48, small}, {64, large}, {128, large}, {256, large}};
    for (const auto& s : sizes) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(s.size);
        const QString path = out.filePath(folder + QStringLiteral("/pemberlux.png"));
        const QImage icon = s.from.convertToFormat(QImage::Format_ARGB32)
                                .scaled(s.size, s.size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        if (!out.mkpath(folder) || !icon.save(path, "PNG")) {
            std::fprintf(stderr, "pemberlux-iconrender: can't write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
