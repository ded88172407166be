#pragma once
// The page kit: what every page and window uses to build itself. Controls carry their
// specified names as object names and sit at fixed places, as the form designs lay them
// out; a control without a caption of its own is named for screen readers by its label.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <QWidget>

namespace brimlow {

// A control of type T on `parent`, named and placed.
template <typename T>
T* Make(QWidget* parent, const char* name, QRect geometry)
{
    auto* w = new T(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(geometry);
    return w;
}

// The property that carries a control's help context number (no help file is attached).
inline constexpr const char* kHelpContextId = "helpContextId";

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, QRect geometry);

// A button with its caption, tooltip and help context number, named and placed.
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QString& tip, int help,
                        QRect geometry);

// The hourglass over the whole program while a handler works.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Gives `control` the label's caption (without its "&") as its accessible name and makes
// it the label's buddy, so the label's hot key reaches it.
void NameFromLabel(QWidget* control, QLabel* label);

// Places a top-level window of `size` in the middle of the primary screen's free area.
void CentreOnScreen(QWidget* window, QSize size);

}  // namespace brimlow
