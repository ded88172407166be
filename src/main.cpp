#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "platform/qt/QtPlatform.h"
#include "shell/CommandLine.h"
#include "shell/Forms.h"
#include "host/MRunUrlHound.h"
#include "shell/ProgramArt.h"
#include "shell/LastResortCleanUp.h"
#include "shell/SessionEnd.h"

namespace {

// A fatal Qt error aborts the process without exit handlers: clean up first.
void OnQtMessage(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    if (type == QtFatalMsg)
        brimlow::RunLastResortCleanUp();
}

[[noreturn]] void OnTerminate()
{
    brimlow::RunLastResortCleanUp();
    std::abort();
}

}  // namespace

int main(int argc, char** argv)
{
    if (const auto done = brimlow::AnswerInformationRequest(argc, argv, BRIMLOW_VERSION))
        return *done;  // before any window or file
    qInstallMessageHandler(OnQtMessage);
    std::set_terminate(OnTerminate);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brimlow"));
    QApplication::setApplicationVersion(QStringLiteral(BRIMLOW_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("brimlow"));
    if (!brimlow::CheckRemainingArguments(QApplication::arguments()))
        return 2;
    QApplication::setWindowIcon(brimlow::ProgramIcon());
    // The shut-down ends the process itself; the last window closing must not end it first.
    QApplication::setQuitOnLastWindowClosed(false);
    brimlow::RealPlatform real;
    real.platform().toolFolder = brimlow::ToolFolderFor(brimlow::ExecutableFolder(), brimlow::kUrlHoundName);
    brimlow::Forms forms(real.platform());
    brimlow::SessionEndWatcher sessionEnd(forms);
    forms.LoadSplash();  // the splash loads the main window
    const int code = QApplication::exec();
    // The event loop ended without the shut-down (someone quit the application): clean up
    // while the platform still lives.
    brimlow::RunLastResortCleanUp();
    return code;
}
