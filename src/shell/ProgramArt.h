#pragma once
// The program's own pictures, drawn at run time so no image file has to ship: the 32 x 32
// window icon and the 504 x 144 splash picture.
#include <QIcon>
#include <QPixmap>

namespace brimlow {

QPixmap ProgramIconPixmap();  // 32 x 32
QIcon ProgramIcon();
QPixmap SplashPicture();      // 504 x 144

}  // namespace brimlow
