#include "menus/MenuTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QMenu>
#include <QTest>

#include "shell/MGlobalInitialization.h"
#include "support/StoreSeed.h"

namespace brimlow::test {

LoadedWindow::LoadedWindow()
{
    tp.platform.programFolder = dir.folder();
    tp.platform.storeFolder = dir.storeFolder();
    tp.clock.now = std::chrono::system_clock::from_time_t(1765356000);  // a fixed "now"
    dir.WithUrlHound();
    SeedEntries(dir.storeFolder(), 9);
    main = std::make_unique<frmMain>(tp.platform);
    main->show();
    main->Form_Load();
}

LoadedWindow::~LoadedWindow()
{
    main.reset();
    ReleaseGlobals();
}

PopupProbe::PopupProbe()
{
    m_timer.setInterval(0);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
}

void PopupProbe::Tick()
{
    QWidget* popup = QApplication::activePopupWidget();
    if (!popup)
        return;
    Seen seen;
    seen.name = popup->objectName();
    seen.topLeft = popup->geometry().topLeft();
    seen.bottomRight = popup->geometry().bottomRight() + QPoint(1, 1);
    for (QAction* a : popup->actions())
        seen.items << a->text();
    m_seen.push_back(seen);
    if (onOpen)
        onOpen(popup);
    else
        popup->close();
}

std::optional<QPoint> FreePoint(QWidget* control)
{
    auto free = [control](QPoint p) {
        for (QWidget* w = control->childAt(p); w && w != control; w = w->parentWidget())
            if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
                return false;
        return true;
    };
    const QPoint center = control->rect().center();
    if (free(center))
        return center;
    for (int y = 1; y < control->height(); y += 3)
        for (int x = 1; x < control->width(); x += 3)
            if (free({x, y}))
                return QPoint(x, y);
    return std::nullopt;
}

QWidget* Receiver(QWidget* control, QPoint pos)
{
    QWidget* w = control->childAt(pos);
    return w ? w : control;
}

void RightClick(QWidget* control, QPoint pos, Qt::KeyboardModifiers modifiers)
{
    QWidget* to = Receiver(control, pos);
    const QPoint local = to->mapFrom(control, pos);
    QCursor::setPos(to->mapToGlobal(local));
    QTest::mousePress(to, Qt::RightButton, modifiers, local);
    QContextMenuEvent request(QContextMenuEvent::Mouse, local, to->mapToGlobal(local), modifiers);
    QApplication::sendEvent(to, &request);
    QTest::mouseRelease(to, Qt::RightButton, modifiers, local);
}

QString CommandsMenuName(int page)
{
    static const char* const names[] = {"mnuTabQC_Commands", "mnuTabSE_Commands", "mnuTabUH_Commands",
                                        "mnuTabCE_Commands", "mnuTabBU_Commands", "mnuTabAR_Commands"};
    return QString::fromLatin1(names[page]);
}

}  // namespace brimlow::test
