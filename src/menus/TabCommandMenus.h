#pragma once
// The items of the six Commands menus and the right-button pop-up of the main window.
//
// Each command item runs its button's click handler, as a click would, and nothing else.
// One event filter, keyed by the controls' object names, serves every control that carries
// the pop-up: a right-button release anywhere on such a control (its viewport, its inner
// edit box, the tab strip's captions and the pages' empty space included) pops up the
// current page's Commands menu at the pointer. A control that carries no pop-up keeps its
// own right-button behaviour, text boxes their edit menus.
#include <QObject>
#include <QString>
#include <array>
#include <functional>

class QMenu;
class QTabWidget;
class QWidget;

namespace brimlow {

class TabCommandMenus final : public QObject {
    Q_OBJECT

public:
    static constexpr int kPageCount = 6;
    // The button codes of a button-release handler.
    static constexpr int kLeftButton = 1;
    static constexpr int kRightButton = 2;
    static constexpr int kMiddleButton = 4;

    // `window` holds every control; `menus` are the six Commands menus in page order, each
    // already holding its title and first separator. `refreshCookieData` is what the
    // refresh image runs on a button other than the right one: the cookie editor's refresh,
    // then the Quick Clean Up cookie lists.
    TabCommandMenus(QWidget& window, QTabWidget& tabs, const std::array<QMenu*, kPageCount>& menus,
                    std::function<void()> refreshCookieData);

    // Pops up the current page's Commands menu when `button` is the right button; returns
    // when the menu has closed.
    void ShowTabCommandsMenu(int button);
    // The refresh image's release: the right button as everywhere; any other refreshes the
    // cookie data under the busy cursor.
    void Image3_MouseUp(int button, Qt::KeyboardModifiers shift, int x, int y);

    // The button code of a Qt button (0 for the buttons the code has no number for).
    static int ButtonCode(Qt::MouseButton button);
    // The carrier whose surface `widget` is, or an empty name.
    static QString CarrierOf(const QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AddCommandItems();
    void InstallCarriers();
    void MarkSurface(QWidget* widget, const QString& carrier);

    QWidget& m_window;
    QTabWidget& m_tabs;
    std::array<QMenu*, kPageCount> m_menus;
    std::function<void()> m_refreshCookieData;
};

}  // namespace brimlow
