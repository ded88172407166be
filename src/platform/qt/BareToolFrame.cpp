#include "platform/qt/BareToolFrame.h"

#include <QEvent>
#include <QGuiApplication>
#include <QIconEngine>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <cstdint>
#include <optional>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace brimlow {

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name)
{
    const auto cookie = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// An icon that is set but draws nothing: the window does not fall back to the program's
// icon, and the window system layer, finding no picture in it, gives the frame none.
class NoPictureIcon final : public QIconEngine {
public:
    void paint(QPainter*, const QRect&, QIcon::Mode, QIcon::State) override {}
    QPixmap pixmap(const QSize&, QIcon::Mode, QIcon::State) override { return {}; }
    QPixmap scaledPixmap(const QSize&, QIcon::Mode, QIcon::State, qreal) override { return {}; }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return {}; }
    QIconEngine* clone() const override { return new NoPictureIcon; }
};

struct X11Window {
    xcb_connection_t* c = nullptr;
    xcb_window_t id = 0;
    xcb_window_t root = 0;
};

// The native window of `w` on an X11 display; none on the offscreen platform or before the
// native window exists.
std::optional<X11Window> NativeOf(QWidget& w)
{
    // Only the X11 platform's windows are X11 windows: the offscreen one may offer the same
    // interface without a connection behind it.
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !w.testAttribute(Qt::WA_WState_Created))
        return std::nullopt;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return std::nullopt;
    X11Window out{x11->connection(), static_cast<xcb_window_t>(w.winId()), 0};
    if (const xcb_setup_t* setup = xcb_get_setup(out.c))
        out.root = xcb_setup_roots_iterator(setup).data->root;
    return out;
}

bool SkipsTaskBar(const X11Window& x, xcb_atom_t state, xcb_atom_t skip)
{
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(x.c, xcb_get_property(x.c, 0, x.id, state, XCB_ATOM_ATOM, 0, 1024), nullptr);
    bool present = false;
    if (reply && reply->format == 32) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        const int n = xcb_get_property_value_length(reply) / 4;
        for (int i = 0; i < n && !present; ++i)
            present = atoms[i] == skip;
    }
    std::free(reply);
    return present;
}

// No task-bar button. An unmapped window carries it in its state, which the window system
// layer merges its own states into when it maps the window; a mapped one asks the window
// manager, which has dropped the state if it took the window over again meanwhile.
void SkipTaskBar(const X11Window& x, bool mapped)
{
    const xcb_atom_t state = Atom(x.c, "_NET_WM_STATE");
    const xcb_atom_t skip = Atom(x.c, "_NET_WM_STATE_SKIP_TASKBAR");
    if (SkipsTaskBar(x, state, skip))
        return;
    if (!mapped) {
        xcb_change_property(x.c, XCB_PROP_MODE_APPEND, x.id, state, XCB_ATOM_ATOM, 32, 1, &skip);
        return;
    }
    xcb_client_message_event_t msg{};
    msg.response_type = XCB_CLIENT_MESSAGE;
    msg.format = 32;
    msg.window = x.id;
    msg.type = state;
    msg.data.data32[0] = 1;  // add
    msg.data.data32[1] = skip;
    msg.data.data32[3] = 1;  // from an application
    xcb_send_event(x.c, 0, x.root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&msg));
}

void ClearTitle(const X11Window& x)
{
    const xcb_atom_t utf8 = Atom(x.c, "UTF8_STRING");
    for (const char* name : {"_NET_WM_NAME", "_NET_WM_ICON_NAME"})
        xcb_change_property(x.c, XCB_PROP_MODE_REPLACE, x.id, Atom(x.c, name), utf8, 8, 0, "");
    xcb_change_property(x.c, XCB_PROP_MODE_REPLACE, x.id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, "");
    xcb_change_property(x.c, XCB_PROP_MODE_REPLACE, x.id, XCB_ATOM_WM_ICON_NAME, XCB_ATOM_STRING, 8, 0, "");
}

// The window system layer writes the title when it creates the native window and again when
// the title changes; the show event comes after the creation and before the map, and the
// exposure after the window manager has mapped the window.
class BareFrameKeeper final : public QObject {
public:
    explicit BareFrameKeeper(QWidget& window) : QObject(&window), m_window(&window) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!m_window)
            return false;
        const auto x = NativeOf(*m_window);
        if (watched == m_window) {
            if (event->type() == QEvent::Show && x) {
                ClearTitle(*x);
                SkipTaskBar(*x, false);
                xcb_flush(x->c);
                WatchNativeWindow();
            } else if (event->type() == QEvent::WindowTitleChange && x) {
                ClearTitle(*x);
                xcb_flush(x->c);
            }
        } else if (event->type() == QEvent::Expose && x && m_window->windowHandle()->isExposed()) {
            SkipTaskBar(*x, true);
            xcb_flush(x->c);
        }
        return false;
    }

private:
    void WatchNativeWindow()
    {
        QWindow* handle = m_window->windowHandle();
        if (handle && handle != m_watched) {
            handle->installEventFilter(this);
            m_watched = handle;
        }
    }

    QPointer<QWidget> m_window;
    QPointer<QWindow> m_watched;
};

}  // namespace

void KeepFrameBare(QWidget& window)
{
    window.setWindowIcon(QIcon(new NoPictureIcon));
    window.installEventFilter(new BareFrameKeeper(window));
}

}  // namespace brimlow
