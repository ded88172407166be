#include "shell/SessionEnd.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "shell/Forms.h"
#include "shell/frmMain.h"

namespace brimlow {

namespace {

// The signal handler only writes a byte; the GUI thread reads it and runs the shut-down.
int g_pipe[2] = {-1, -1};
constexpr int kStopSignals[] = {SIGTERM, SIGHUP, SIGINT};

extern "C" void OnStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &byte, 1);
}

}  // namespace

SessionEndWatcher::SessionEndWatcher(Forms& forms) : m_forms(forms)
{
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { CloseMain(); });

    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char buf[16];
        while (::read(g_pipe[0], buf, sizeof buf) > 0) {
        }
        CloseMain();
    });
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : kStopSignals)
        ::sigaction(s, &sa, nullptr);
}

SessionEndWatcher::~SessionEndWatcher()
{
    for (int s : kStopSignals)
        std::signal(s, SIG_DFL);
}

void SessionEndWatcher::CloseMain()
{
    if (frmMain* main = m_forms.main())
        main->close();
    else
        m_forms.platform().exit->EndNow(0);  // nothing loaded yet that needs cleaning up
}

}  // namespace brimlow
