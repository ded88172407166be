#include <QApplication>

#include "platform/qt/QtPlatform.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    brimlow::RealPlatform real;
    return 0;
}
