#pragma once
// Showing a window that announces long work: the work blocks the event loop, so the window
// must be drawn before it begins, not merely shown.
class QWidget;

namespace brimlow {

// Shows the window (when `show`), then lets pending window messages run until the window
// has been exposed and painted and the display holds the drawing, for at most `maxMs`.
// With `show` false it only lets pending messages run, as a hidden window needs.
void ShowPainted(QWidget* window, bool show = true, int maxMs = 1500);

}  // namespace brimlow
