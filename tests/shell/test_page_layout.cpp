// Every control of every page lies whole inside the main window's client area and inside the
// control that holds it (a frame, say), at the scale the test runs at (QT_SCALE_FACTOR 1 and 2,
// set by CTest). A control cut by the window frame loses its border: a button row one pixel too
// low shows no lower edge.
#include <QApplication>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include "shell/Forms.h"
#include "shell/frmMain.h"
#include "support/GuiTestSupport.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;

namespace {

// A control of the design: named, and not one of the toolkit's own parts of a control.
bool IsDesignControl(const QWidget* w)
{
    const QString name = w->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

}  // namespace

TEST(PageLayout, EveryControlOfEveryPageLiesInsideTheWindow)
{
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    tp.platform.programFolder = dir.folder();
    tp.platform.storeFolder = dir.storeFolder();
    tp.runner.passThrough = false;  // the layout needs no cache
    Forms forms(tp.platform);
    frmMain& main = forms.LoadMain();
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    QWidget* client = main.centralWidget();
    const QRect area = client->rect();
    ASSERT_EQ(area.size(), QSize(541, 464));
    auto* tabs = test::Named<QTabWidget>(&main, "SSTab1");
    ASSERT_NE(tabs, nullptr);

    int measured = 0;
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        QWidget* page = tabs->widget(i);
        int onPage = 0;
        for (QWidget* w : page->findChildren<QWidget*>()) {
            if (w->isWindow() || !IsDesignControl(w) || !w->isVisibleTo(page))
                continue;
            const std::string what = tabs->tabText(i).toStdString() + ": " + w->objectName().toStdString();
            const QRect inClient(w->mapTo(client, QPoint(0, 0)), w->size());
            EXPECT_TRUE(area.contains(inClient))
                << what << " at " << inClient.x() << "," << inClient.y() << " " << inClient.width() << "x"
                << inClient.height() << " (last row " << inClient.bottom() << ", last column " << inClient.right()
                << ") against the client area " << area.width() << "x" << area.height();
            const QWidget* holder = w->parentWidget();
            if (holder != page) {
                EXPECT_TRUE(holder->rect().contains(w->geometry()))
                    << what << " sticks out of " << holder->objectName().toStdString() << ": " << w->geometry().x()
                    << "," << w->geometry().y() << " " << w->width() << "x" << w->height() << " in "
                    << holder->width() << "x" << holder->height();
            }
            ++onPage;
        }
        EXPECT_GT(onPage, 5) << "page " << i << " shows hardly a control: the walk missed it";
        measured += onPage;
    }
    std::printf("%d controls measured at scale %s\n", measured, qEnvironmentVariable("QT_SCALE_FACTOR", "1").toUtf8().constData());
}
