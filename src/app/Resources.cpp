#include "app/Resources.h"

#include <QBitmap>
#include <QImage>

namespace pemberlux {

QIcon AppIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/pemberlux/icon145_32.xpm"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/pemberlux/icon145_16.xpm"), QSize(16, 16));
    return icon;
}

QPixmap Logo(int bitmapId) {
    QPixmap pixmap(bitmapId == IDB_LOGO_CHINESE ? QStringLiteral(":/pemberlux/logo149.xpm")
                                                : QStringLiteral(":/pemberlux/logo150.xpm"));
    if (pixmap.isNull()) return pixmap;
    pixmap.setMask(pixmap.createMaskFromColor(Qt::white, Qt::MaskInColor));
    return pixmap;
}

} // namespace pemberlux
