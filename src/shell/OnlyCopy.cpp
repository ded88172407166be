#include "shell/OnlyCopy.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "shell/Forms.h"
#include "shell/frmMain.h"
#include "shell/frmSplash.h"

namespace brimlow {

namespace {

constexpr int kCallTimeoutMs = 2000;

}  // namespace

QString FirstCopyServerName(const std::filesystem::path& workingFolder)
{
    const QByteArray digest =
        QCryptographicHash::hash(QByteArray::fromStdString(workingFolder.lexically_normal().string()),
                                 QCryptographicHash::Sha256)
            .toHex()
            .left(24);
    return QStringLiteral("brimlow-%1-%2").arg(::geteuid()).arg(QString::fromLatin1(digest));
}

FirstCopyListener::FirstCopyListener(const std::filesystem::path& workingFolder, std::function<void()> bringToFront)
    : m_server(new QLocalServer(this)), m_bringToFront(std::move(bringToFront))
{
    m_server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    // Taken by something else: later copies still stop at the lock, only the call goes unheard.
    m_server->listen(FirstCopyServerName(workingFolder));
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* caller = m_server->nextPendingConnection()) {
            caller->disconnectFromServer();
            caller->deleteLater();
            if (m_bringToFront)
                m_bringToFront();
        }
    });
}

FirstCopyListener::~FirstCopyListener() = default;

bool FirstCopyListener::listening() const
{
    return m_server->isListening();
}

void BringToFront(Forms& forms)
{
    QWidget* window = nullptr;
    if (forms.main() && forms.main()->isVisible())
        window = forms.main();
    else if (forms.splash() && forms.splash()->isVisible())
        window = forms.splash();
    if (!window)
        return;
    if (window->isMinimized())
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}

bool CallFirstCopy(const std::filesystem::path& workingFolder)
{
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(FirstCopyServerName(workingFolder));
    if (!socket.waitForConnected(kCallTimeoutMs))
        return false;
    // The call itself is the message; the first copy answers it when its window loop runs.
    socket.write("front\n");
    socket.waitForBytesWritten(kCallTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

void SayAnotherCopyRuns(const Platform& platform)
{
    const bool called = CallFirstCopy(platform.programFolder);
    const std::string text = std::string("Brimlow is already running for this working folder") +
                             (called ? ", and has been brought to the front." : "; switch to it to go on.") +
                             "\r\nThis copy ends and touches no file.\r\n\r\nWorking folder: " +
                             platform.programFolder.string();
    std::fprintf(stderr, "Brimlow is already running for the working folder %s\n", platform.programFolder.c_str());
    if (platform.dialogs)
        platform.dialogs->MsgBox(text, kProgramTitle, MsgBoxButtons::Ok, MsgBoxIcon::Information);
}

void SayFolderCannotBeLocked(const Platform& platform, int error)
{
    const std::string why = error ? std::strerror(error) : "the reason is not known";
    std::fprintf(stderr, "Brimlow cannot lock the working folder %s (%s)\n", platform.programFolder.c_str(),
                 why.c_str());
    if (platform.dialogs)
        platform.dialogs->MsgBox("Brimlow cannot lock its working folder (" + why +
                                     "), so it cannot make sure that no other copy uses the same files.\r\n"
                                     "It ends and touches no file.\r\n\r\nWorking folder: " +
                                     platform.programFolder.string(),
                                 kProgramTitle, MsgBoxButtons::Ok, MsgBoxIcon::Critical);
}

std::optional<int> TakeWorkingFolder(WorkingFolderLock& lock, const Platform& platform)
{
    switch (lock.Acquire(platform.programFolder)) {
    case WorkingFolderLock::Result::Acquired:
        return std::nullopt;
    case WorkingFolderLock::Result::HeldByAnother:
        SayAnotherCopyRuns(platform);
        return 0;
    case WorkingFolderLock::Result::Unavailable:
        break;
    }
    SayFolderCannotBeLocked(platform, lock.error());
    return 1;
}

}  // namespace brimlow
