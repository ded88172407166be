#include "host/ShowPainted.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>

namespace brimlow {

namespace {

// Notes the first paint of the watched window after it was shown.
class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

}  // namespace

void ShowPainted(QWidget* window, bool show, int maxMs)
{
    if (!window || !show) {
        QCoreApplication::processEvents();
        return;
    }
    PaintWatch watch;
    QPointer<QWidget> w(window);
    w->installEventFilter(&watch);
    w->show();
    w->raise();
    QElapsedTimer clock;
    clock.start();
    // The window manager maps the window and the server sends the expose; the paint follows.
    while (w && !watch.painted && clock.elapsed() < maxMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (w) {
        w->removeEventFilter(&watch);
        QCoreApplication::processEvents();
    }
    QGuiApplication::sync();  // the drawing has reached the display before the work blocks
}

}  // namespace brimlow
