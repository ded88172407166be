// The Commands menus with a real pointer and keyboard: a right click through XTest on the
// Url Hound page's entry list opens the page's Commands menu at the pointer, and a click on
// "&Refresh Cache" in it refreshes the list from the store; Alt+C opens the current page's
// Commands menu on every page, each time it is pressed.
#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QApplication>
#include <QMenu>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "cachebrowser/MUrlHound.h"
#include "host/TextListView.h"
#include "shell/MGlobalInitialization.h"
#include "shell/frmMain.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"
#include "x11support/XSession.h"

// Last: the X headers define names (None, Bool, Status) that the others use.
#include <X11/extensions/XTest.h>

using namespace brimlow;

namespace {

Display* g_dpy = nullptr;

const char* const kCommandsMenuNames[] = {"mnuTabQC_Commands", "mnuTabSE_Commands", "mnuTabUH_Commands",
                                          "mnuTabCE_Commands", "mnuTabBU_Commands", "mnuTabAR_Commands"};

void MoveAndClick(QPoint at, unsigned button)
{
    XTestFakeMotionEvent(g_dpy, -1, at.x(), at.y(), CurrentTime);
    XSync(g_dpy, False);
    QTest::qWait(100);
    XTestFakeButtonEvent(g_dpy, button, True, CurrentTime);
    XTestFakeButtonEvent(g_dpy, button, False, CurrentTime);
    XSync(g_dpy, False);
}

std::vector<std::string> Lines(const TextListView* list)
{
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i)
        out.push_back(list->text(i).toStdString());
    return out;
}

// A program folder and a store of the test's own; the globals a window loads go with it.
class CommandsMenuOnX11 : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(g_dpy, nullptr) << "no test display";
        tp.platform.programFolder = dir.folder();
        tp.platform.storeFolder = dir.storeFolder();
    }
    void TearDown() override { ReleaseGlobals(); }

    test::TempProgramFolder dir;
    test::TestPlatform tp;
};

TEST_F(CommandsMenuOnX11, RightClickOnTheEntryListOpensItsMenuAtThePointerAndRefreshCacheRefreshes)
{
    dir.WithUrlHound();
    test::SeedEntries(dir.storeFolder(), 3);
    {
        frmMain main(tp.platform);
        main.show();
        main.Form_Load();
        main.SSTab1->setCurrentIndex(frmMain::kUrlHound);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
        main.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
        auto* list = main.findChild<TextListView*>(QStringLiteral("UH_lstCacheMain"));
        ASSERT_NE(list, nullptr);
        const auto before = Lines(list);
        ASSERT_EQ(before.size(), 3u);

        // A new entry in the store, which only a refresh brings into the list.
        test::SeedEntries(dir.storeFolder(), 1, {test::SeedKind::Url}, 100);
        const std::string added = test::SeedEntryFor(test::SeedKind::Url, 100).sourceUrl;

        const QPoint pointer = list->viewport()->mapToGlobal(list->viewport()->rect().center() + QPoint(0, 40));
        QString opened;
        QPoint menuAt;
        bool chose = false;
        QTimer watch;
        watch.setInterval(50);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu || chose)
                return;
            opened = menu->objectName();
            menuAt = menu->geometry().topLeft();
            for (QAction* a : menu->actions()) {
                if (a->text() == QLatin1String("&Refresh Cache")) {
                    chose = true;
                    MoveAndClick(menu->mapToGlobal(menu->actionGeometry(a).center()), 1);
                    return;
                }
            }
            menu->close();  // not the menu it should be: end the test's wait
        });
        watch.start();
        MoveAndClick(pointer, 3);
        EXPECT_TRUE(QTest::qWaitFor([&] { return chose && !QApplication::activePopupWidget() && list->count() == 4; },
                                    15000));
        watch.stop();

        EXPECT_EQ(opened, QStringLiteral("mnuTabUH_Commands"));
        EXPECT_LE((menuAt - pointer).manhattanLength(), 1) << "menu at " << menuAt.x() << "," << menuAt.y()
                                                           << ", pointer at " << pointer.x() << "," << pointer.y();
        const auto after = Lines(list);
        EXPECT_EQ(after.size(), 4u);
        EXPECT_NE(std::find(after.begin(), after.end(), added), after.end()) << "the refresh did not list " << added;
        // The right click selected nothing of its own: the refresh selects the first entry.
        EXPECT_EQ(list->currentRow(), 0);
        main.hide();
    }
}

// Alt+C with the focus in a control of the page: the current page's Commands menu, on every
// page, at every press. The menu bar holds one Commands menu per page; the hidden ones must
// not take the key. The Key Strokes box alone keeps the key, to record it.
TEST_F(CommandsMenuOnX11, AltCOpensTheCurrentPagesCommandsMenuOnEveryPageButTheKeyStrokesBoxRecordsIt)
{
    tp.runner.passThrough = false;  // the menus need no cache
    {
        test::XSession x;
        ASSERT_TRUE(x.ok());
        frmMain main(tp.platform);
        main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
        main.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
        const char* const focusOn[] = {"QC_txtDelay", "SE_txtTargetName", "UH_txtCacheSearchString",
                                       "CE_txtCookieValue", "BU_lstFiles", "AR_txtActivityReport"};
        for (int page : {0, 1, 2, 3, 4, 5, 2, 0}) {
            SCOPED_TRACE("page " + std::to_string(page));
            main.SSTab1->setCurrentIndex(page);
            auto* control = main.findChild<QWidget*>(QString::fromLatin1(focusOn[page]));
            ASSERT_NE(control, nullptr);
            control->setFocus(Qt::OtherFocusReason);
            ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == control; }, 5000));
            auto* edit = qobject_cast<QLineEdit*>(control);
            const QString textBefore = edit ? edit->text() : QString();
            for (int press = 1; press <= 3; ++press) {
                SCOPED_TRACE("press " + std::to_string(press));
                x.Key("c", true);
                ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 5000))
                    << "Alt+C opened no menu";
                QWidget* popup = QApplication::activePopupWidget();
                EXPECT_EQ(popup->objectName().toStdString(), kCommandsMenuNames[page]);
                // Escape closes the menu, a second one leaves the menu bar.
                x.Key("Escape");
                ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; }, 5000));
                x.Key("Escape");
                ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == control; }, 5000));
            }
            if (edit) {
                EXPECT_EQ(edit->text(), textBefore) << "the key went into the text box";
            }
        }
        // The Key Strokes box records Alt+C as the keys it is, and no menu opens.
        main.SSTab1->setCurrentIndex(frmMain::kScriptEditor);
        auto* strokes = main.findChild<QPlainTextEdit*>(QStringLiteral("SE_txtScript"));
        ASSERT_NE(strokes, nullptr);
        strokes->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == strokes; }, 5000));
        x.Key("c", true);
        EXPECT_TRUE(QTest::qWaitFor([&] { return strokes->toPlainText().endsWith(QLatin1Char('c')); }, 5000))
            << strokes->toPlainText().toStdString();
        EXPECT_TRUE(strokes->toPlainText().contains(QLatin1String("[ALT]"))) << strokes->toPlainText().toStdString();
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
        main.hide();
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::ifstream in(std::string(X11_STATE_DIR) + "/display");
    std::string name;
    in >> name;
    if (!name.empty()) {
        setenv("DISPLAY", name.c_str(), 1);
        g_dpy = XOpenDisplay(name.c_str());
    }
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    std::string runtime = "/tmp/brimlow-xdg-XXXXXX";
    if (mkdtemp(runtime.data())) {
        ::chmod(runtime.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    testing::InitGoogleTest(&argc, argv);
    int rc = 1;
    if (g_dpy) {
        QApplication app(argc, argv);
        rc = RUN_ALL_TESTS();
    } else {
        rc = RUN_ALL_TESTS();  // fails with "no test display"
    }
    if (g_dpy)
        XCloseDisplay(g_dpy);
    ::rmdir(runtime.c_str());
    return rc;
}
