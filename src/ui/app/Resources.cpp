#include "ui/app/Resources.h"

#include <QBitmap>
#include <QImage>

// The pictures are compiled in as they stand: read from memory by Qt's own XPM
// reader, without looking for image plugins at start-up.
#include "images/icon145_16.xpm"
#include "images/icon145_32.xpm"
#include "images/logo149.xpm"
#include "images/logo150.xpm"

namespace pemberlux {

QIcon AppIcon() {
    QIcon icon;
    icon.addPixmap(QPixmap(icon145_32_xpm));
    icon.addPixmap(QPixmap(icon145_16_xpm));
    return icon;
}

QPixmap Logo(int bitmapId) {
    QImage image(bitmapId == IDB_LOGO_CHINESE ? logo149_xpm : logo150_xpm);
    if (image.format() == QImage::Format_Indexed8) {
        // White made transparent in the colour table, not pixel by pixel.
        QList<QRgb> colours = image.colorTable();
        for (QRgb& colour : colours)
            if (qRed(colour) == 255 && qGreen(colour) == 255 && qBlue(colour) == 255) colour = qRgba(0, 0, 0, 0);
        image.setColorTable(colours);
        return QPixmap::fromImage(image);
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    if (!pixmap.isNull()) pixmap.setMask(pixmap.createMaskFromColor(Qt::white, Qt::MaskInColor));
    return pixmap;
}

} // namespace pemberlux
