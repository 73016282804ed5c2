#pragma once

#include <QIcon>
#include <QImage>

// The program's own pictures, drawn in code so no image file has to ship.
namespace builtin {

QImage startupPicture();  // 50 x 50, a standing figure on a transparent ground
QImage noFilePicture();   // 50 x 50, the same figure with the words NO FILE
QImage logoPicture();     // 128 x 128, the splash logo
QImage desktopPicture();  // 16 x 14, the desktop button
QImage trashPicture();    // 18 x 17, the recycle-bin button
QIcon programIcon();      // the window icon, 32 x 32 and larger

} // namespace builtin
