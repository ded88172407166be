#include "host/PageKit.h"

#include <QGuiApplication>
#include <QScreen>

namespace brimlow {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, QRect geometry)
{
    auto* l = Make<QLabel>(parent, name, geometry);
    l->setText(caption);
    return l;
}

void NameFromLabel(QWidget* control, QLabel* label)
{
    QString name = label->text();
    control->setAccessibleName(name.remove(QLatin1Char('&')));
    label->setBuddy(control);
}

void CentreOnScreen(QWidget* window, QSize size)
{
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - QPoint(size.width() / 2, size.height() / 2));
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QString& tip, int help,
                        QRect geometry)
{
    auto* b = Make<QPushButton>(parent, name, geometry);
    b->setText(caption);
    b->setToolTip(tip);
    b->setProperty(kHelpContextId, help);
    return b;
}

}  // namespace brimlow
