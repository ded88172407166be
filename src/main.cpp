#include <QApplication>

#include "platform/qt/QtPlatform.h"
#include "shell/Forms.h"
#include "shell/ProgramArt.h"
#include "shell/SessionEnd.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brimlow"));
    QApplication::setWindowIcon(brimlow::ProgramIcon());
    // The shut-down ends the process itself; the last window closing must not end it first.
    QApplication::setQuitOnLastWindowClosed(false);
    brimlow::RealPlatform real;
    brimlow::Forms forms(real.platform());
    brimlow::SessionEndWatcher sessionEnd(forms);
    forms.LoadSplash();  // the splash loads the main window
    return QApplication::exec();
}
