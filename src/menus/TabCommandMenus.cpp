#include "menus/TabCommandMenus.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QTabWidget>
#include <QVariant>

#include "menus/TabCommandTable.h"

namespace brimlow {

namespace {

// Set on a carrier and on every part of it that a click can land on: the carrier's name.
constexpr const char* kCarrierProperty = "brimlowCommandsMenuCarrier";

// A control of the window has a name of its own; the toolkit's inner parts of a control
// (viewports, scroll bars, the edit box of a date picker) have none or a "qt_" one.
bool IsControl(const QWidget* w)
{
    const QString name = w->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

// Restores the pointer however the refresh leaves.
struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

TabCommandMenus::TabCommandMenus(QWidget& window, QTabWidget& tabs, const std::array<QMenu*, kPageCount>& menus,
                                 std::function<void()> refreshCookieData)
    : QObject(&window), m_window(window), m_tabs(tabs), m_menus(menus),
      m_refreshCookieData(std::move(refreshCookieData))
{
    setObjectName(QStringLiteral("TabCommandMenus"));
    AddCommandItems();
    InstallCarriers();
}

void TabCommandMenus::AddCommandItems()
{
    for (const CommandItem& row : CommandItems()) {
        QMenu* menu = m_menus[static_cast<std::size_t>(row.page)];
        if (!row.button) {
            menu->addSeparator()->setObjectName(QString::fromLatin1(row.item));
            continue;
        }
        auto* button = m_window.findChild<QAbstractButton*>(QString::fromLatin1(row.button));
        if (!button)
            continue;  // an item never stands for a handler that is not there
        QAction* item = menu->addAction(QString::fromLatin1(row.caption));
        item->setObjectName(QString::fromLatin1(row.item));
        // The button's click handler runs exactly as on a click, and also while the button
        // is disabled: the item calls the handler, not the button.
        connect(item, &QAction::triggered, button, [button] { emit button->clicked(false); });
    }
}

void TabCommandMenus::InstallCarriers()
{
    for (const PageControl& row : CommandsMenuCarriers()) {
        const QString name = QString::fromLatin1(row.name);
        QWidget* carrier = name == QLatin1String(kTabStripName) ? &m_tabs : m_window.findChild<QWidget*>(name);
        if (carrier)
            MarkSurface(carrier, name);
    }
    // The empty space of a page is the tab strip's.
    for (int i = 0; i < m_tabs.count(); ++i)
        MarkSurface(m_tabs.widget(i), QString::fromLatin1(kTabStripName));
}

void TabCommandMenus::MarkSurface(QWidget* widget, const QString& carrier)
{
    widget->setProperty(kCarrierProperty, carrier);
    widget->installEventFilter(this);
    for (QObject* child : widget->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w && !w->isWindow() && !IsControl(w))
            MarkSurface(w, carrier);
    }
}

QString TabCommandMenus::CarrierOf(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QVariant carrier = w->property(kCarrierProperty);
        if (carrier.isValid())
            return carrier.toString();
        if (IsControl(w) || w->isWindow())
            return {};
    }
    return {};
}

bool TabCommandMenus::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
        type != QEvent::MouseButtonRelease && type != QEvent::ContextMenu)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return false;

    // An event that a control without the pop-up passed up to its frame or page is not
    // the frame's or the page's: find what lies under the pointer.
    const QPoint pos = type == QEvent::ContextMenu ? static_cast<QContextMenuEvent*>(event)->pos()
                                                   : static_cast<QMouseEvent*>(event)->position().toPoint();
    QWidget* hit = widget->childAt(pos);
    const QString carrier = CarrierOf(hit ? hit : widget);
    if (carrier.isEmpty())
        return false;

    if (type == QEvent::ContextMenu)  // the carrier offers the Commands menu instead
        return static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Mouse;

    auto* mouse = static_cast<QMouseEvent*>(event);
    if (type != QEvent::MouseButtonRelease)  // a right press selects nothing and moves no caret
        return mouse->button() == Qt::RightButton;

    const int button = ButtonCode(mouse->button());
    if (carrier == QLatin1String(kRefreshImageName)) {
        Image3_MouseUp(button, mouse->modifiers(), pos.x(), pos.y());
        return true;
    }
    if (button != kRightButton)
        return false;  // the control's own click goes on
    ShowTabCommandsMenu(button);
    return true;
}

int TabCommandMenus::ButtonCode(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return kLeftButton;
    case Qt::RightButton:
        return kRightButton;
    case Qt::MiddleButton:
        return kMiddleButton;
    default:
        return 0;
    }
}

void TabCommandMenus::ShowTabCommandsMenu(int button)
{
    if (button != kRightButton)
        return;
    const int page = m_tabs.currentIndex();
    if (page < 0 || page >= kPageCount)
        return;
    // At the pointer, with the platform's default alignment and no default item.
    m_menus[static_cast<std::size_t>(page)]->exec(QCursor::pos());
}

void TabCommandMenus::Image3_MouseUp(int button, Qt::KeyboardModifiers /*shift*/, int /*x*/, int /*y*/)
{
    if (button == kRightButton) {
        ShowTabCommandsMenu(button);
        return;
    }
    BusyCursor busy;
    if (m_refreshCookieData)
        m_refreshCookieData();
}

}  // namespace brimlow
