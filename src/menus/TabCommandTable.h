#pragma once
// What the six Commands menus offer, and which controls answer a right-button release with
// the current page's Commands menu. Plain data, so the menus and their tests read the same
// rows; the names are the controls' and menu items' object names.
#include <span>

namespace brimlow {

// The tab strip carries the pop-up on every page; its rows have no page of their own.
inline constexpr int kEveryPage = -1;
inline constexpr const char* kTabStripName = "SSTab1";
// The Quick Clean Up page's icon: another button refreshes the cookie data.
inline constexpr const char* kRefreshImageName = "Image3";

struct CommandItem {
    const char* item;     // the menu item's name
    const char* caption;  // the menu's own text, accelerator mark included
    int page;             // the page (0 to 5) whose Commands menu holds it
    const char* button;   // the button whose click handler (its name and "_Click") the item runs;
                          // nullptr for a separator
};

struct PageControl {
    const char* name;
    int page;  // kEveryPage for the tab strip
};

// Every row of the six menus after each menu's title and first separator, in menu order:
// the 37 command items and the two separators inside the Script Editor and Url Hound menus.
// The Bleach Utility menu has no command item; its one disabled item stands in the frame.
std::span<const CommandItem> CommandItems();

// The controls whose button release pops up the current page's Commands menu.
std::span<const PageControl> CommandsMenuCarriers();

// The controls of the pages that carry no such handler and keep their own right-button
// behaviour (the controls without mouse events, the timers and the common dialog, are not
// listed).
std::span<const PageControl> ControlsWithoutCommandsMenu();

}  // namespace brimlow
