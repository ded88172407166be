#pragma once
// The page kit: what every page and window uses to build itself. Controls carry their
// specified names as object names and sit at fixed places, as the form designs lay them
// out; a control without a caption of its own is named for screen readers by its label.
#include <QLabel>
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

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, QRect geometry);

// Gives `control` the label's caption (without its "&") as its accessible name and makes
// it the label's buddy, so the label's hot key reaches it.
void NameFromLabel(QWidget* control, QLabel* label);

// Places a top-level window of `size` in the middle of the primary screen's free area.
void CentreOnScreen(QWidget* window, QSize size);

}  // namespace brimlow
