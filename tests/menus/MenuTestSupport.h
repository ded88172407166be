#pragma once
// What the Commands menu tests share: a loaded main window in a program folder of its own
// (the real UrlHound and store), a probe that records the pop-up menu that a call opens and
// closes it, and the ways a real click reaches a control.
#include <QPoint>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>

#include "shell/frmMain.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

class QWidget;

namespace brimlow::test {

// A main window after its start-up, shown, with nine seeded cache entries.
struct LoadedWindow {
    LoadedWindow();
    ~LoadedWindow();
    TempProgramFolder dir;
    TestPlatform tp;
    std::unique_ptr<frmMain> main;
};

// Armed before a call that may open a pop-up menu: every pop-up that opens during the call
// is recorded and closed at once (or handed to `onOpen`, which must close it).
class PopupProbe {
public:
    struct Seen {
        QString name;  // the menu's object name
        QPoint topLeft;
        QPoint bottomRight;  // one past the last pixel
        QStringList items;   // the texts of its items
    };
    PopupProbe();
    template <typename F>
    std::vector<Seen> During(F&& call)
    {
        m_seen.clear();
        m_timer.start();
        call();
        m_timer.stop();
        Tick();  // a menu that the call opened without waiting for it
        return m_seen;
    }
    std::function<void(QWidget* popup)> onOpen;

private:
    void Tick();
    QTimer m_timer;
    std::vector<Seen> m_seen;
};

// A point of `control` (in its own coordinates) where a click lands on the control itself,
// not on another control that lies on it; nothing when it is covered everywhere.
std::optional<QPoint> FreePoint(QWidget* control);

// The widget that a real click at `pos` of `control` is delivered to: the innermost part.
QWidget* Receiver(QWidget* control, QPoint pos);

// A right-button click as the window system delivers it: press, the context-menu request,
// release, with the pointer at the point.
void RightClick(QWidget* control, QPoint pos, Qt::KeyboardModifiers modifiers);

// The object name of the current page's Commands menu.
QString CommandsMenuName(int page);

}  // namespace brimlow::test
