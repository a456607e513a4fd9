// The program's pictures: the application icon and the maker's logos.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace pemberlux {

enum : int {
    IDR_MAINFRAME = 145,
    IDB_LOGO_CHINESE = 149, // 180 x 21
    IDB_LOGO_ENGLISH = 150, // 180 x 67
};

QIcon AppIcon();

// The logo with its white background made transparent.
QPixmap Logo(int bitmapId);

} // namespace pemberlux
