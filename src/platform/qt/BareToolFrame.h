#pragma once
// The frame of a small tool window that shows no title text, no icon and no task-bar button.
// The window system layer gives a window with an empty caption the program's name and the
// program's icon, and the window manager then draws both; so the title is taken off the
// native window before it is mapped, each time it is shown, and the window gets an icon
// without a picture. (Minimise and maximise are left out by the window's flags.)
class QWidget;

namespace brimlow {

void KeepFrameBare(QWidget& window);

}  // namespace brimlow
