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
#include "shell/MGlobalInitialization.h"
#include "shell/OnlyCopy.h"
#include "platform/AtomicFile.h"
#include "platform/WorkingFolderLock.h"

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
    // One copy at a time for a working folder: a later one brings the first to the front,
    // says so and ends before it writes anything. The lock lasts as long as the process.
    // A folder that cannot be locked at all is said too, and this copy ends without a file.
    brimlow::WorkingFolderLock folderLock;
    {
        // A copy that ends here says why in a box above every window: the first copy answers
        // the call when its loop runs, which may be after this box is up (it may be busy
        // starting), and its windows must not then cover the box, or this copy waits unseen.
        brimlow::QtDialogs onTop(brimlow::QtDialogs::kStaysOnTop);
        brimlow::Platform ending = real.platform();
        ending.dialogs = &onTop;
        if (const auto ends = brimlow::TakeWorkingFolder(folderLock, ending))
            return *ends;
    }
    // Held: data files still in the folder were left by a copy that ended without its
    // shut-down (a crash, SIGKILL). They go now, as the exit clean-up destroys them, before
    // this run writes anything, so the dead run's report never reappears as this run's; and
    // so do the half-written temporary files of a save that a kill cut short.
    brimlow::BleachDataFiles(real.platform());
    brimlow::textfile::RemoveLeftTemporaryFiles(real.platform().programFolder);
    brimlow::Forms forms(real.platform());
    brimlow::FirstCopyListener firstCopy(real.platform().programFolder, [&forms] { brimlow::BringToFront(forms); });
    brimlow::SessionEndWatcher sessionEnd(forms);
    forms.LoadSplash();  // the splash loads the main window
    const int code = QApplication::exec();
    // The event loop ended without the shut-down (someone quit the application): clean up
    // while the platform still lives.
    brimlow::RunLastResortCleanUp();
    return code;
}
