#pragma once
// When the session ends (the session manager asks the program to save its data) or the
// process is told to stop (SIGTERM, SIGHUP, SIGINT), the main window is closed through its
// one shut-down, so the data files are destroyed then as at every other exit.
#include <QObject>

class QSocketNotifier;

namespace brimlow {

class Forms;

class SessionEndWatcher : public QObject {
public:
    explicit SessionEndWatcher(Forms& forms);
    ~SessionEndWatcher() override;

private:
    void CloseMain();

    Forms& m_forms;
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace brimlow
