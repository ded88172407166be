// The main window's frame, tab strip, menu bar and tab switching.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QKeySequence>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <cstdio>
#include <gtest/gtest.h>

#include "bleach/BleachUtilityPage.h"
#include "cachebrowser/UrlHoundPage.h"
#include "host/frmRefreshingCache.h"
#include "scripts/QuickCleanUpPage.h"
#include "shell/ActivityReportPage.h"
#include "shell/Forms.h"
#include "shell/MAboutBox.h"
#include "shell/frmAbout.h"
#include "shell/frmMain.h"
#include "support/GuiTestSupport.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;
using brimlow::test::Named;

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        tp.platform.programFolder = dir.folder();
        tp.platform.storeFolder = dir.storeFolder();
        tp.runner.passThrough = false;  // no UrlHound here: the window does not need the cache
        forms = std::make_unique<Forms>(tp.platform);
        main = &forms->LoadMain();
    }

    // The top-level menus that stand on the bar, by title.
    QStringList VisibleMenus() const
    {
        QStringList out;
        for (QAction* a : main->menuBar()->actions())
            if (a->isVisible())
                out << a->text();
        return out;
    }
    QString VisibleCommandsMenu() const
    {
        QString name;
        for (QAction* a : main->menuBar()->actions())
            if (a->isVisible() && a->menu() && a->text() == "&Commands")
                name = a->menu()->objectName();
        return name;
    }

    test::TempProgramFolder dir;
    test::TestPlatform tp;
    std::unique_ptr<Forms> forms;
    frmMain* main = nullptr;
};

const char* kCommandsMenus[] = {"mnuTabQC_Commands", "mnuTabSE_Commands", "mnuTabUH_Commands",
                                "mnuTabCE_Commands", "mnuTabBU_Commands", "mnuTabAR_Commands"};

}  // namespace

TEST_F(MainWindow, FrameIsFixedNamedAndOnTheTaskBar)
{
    EXPECT_EQ(main->windowTitle(), "Brimlow");
    EXPECT_EQ(main->centralWidget()->size(), QSize(541, 464));
    EXPECT_EQ(main->minimumSize(), main->maximumSize());
    EXPECT_EQ(main->size(), main->minimumSize());
    const Qt::WindowFlags f = main->windowFlags();
    EXPECT_EQ(main->windowType(), Qt::Window);  // the one window with a task-bar button
    EXPECT_TRUE(f & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(f & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(f & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(main->windowIcon().pixmap(32, 32).size(), QSize(32, 32));
    EXPECT_FALSE(main->windowIcon().pixmap(32, 32).toImage().isNull());

    ASSERT_NE(main->refreshingCache(), nullptr);
    EXPECT_EQ(main->refreshingCache()->windowType(), Qt::Tool);
    EXPECT_FALSE(main->refreshingCache()->isVisible());
}

TEST_F(MainWindow, SixCaptionsAndTheFirstPageSelected)
{
    QTabWidget* tabs = Named<QTabWidget>(main, "SSTab1");
    ASSERT_EQ(tabs->count(), 6);
    const char* captions[] = {"Quick Clean Up", "Script Editor", "Url Hound",
                              "Cookie Editor",  "Bleach Utility", "Acitvity Report"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(tabs->tabText(i), captions[i]) << i;
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(tabs->widget(2), &main->urlHoundPage());

    // Every caption is in sight at once, whole, within the window: no scrolling strip.
    main->show();
    QApplication::processEvents();
    QTabBar* bar = tabs->tabBar();
    EXPECT_FALSE(bar->usesScrollButtons());
    for (int i = 0; i < 6; ++i) {
        const QRect r = bar->tabRect(i);
        EXPECT_LE(bar->mapTo(main, r.topRight()).x(), main->width()) << i;
        EXPECT_GE(r.width(), bar->fontMetrics().horizontalAdvance(tabs->tabText(i))) << i;
        EXPECT_EQ(r.height(), 35) << i;  // 520 twips
    }
    // The taller strip still leaves room for every control of every page.
    // What counts is the part of the page inside the window's fixed client area, which can
    // end above the page's own bottom (its last row lies under the frame line).
    for (int i = 0; i < 6; ++i) {
        QWidget* pageWidget = tabs->widget(i);
        tabs->setCurrentIndex(i);
        const int visible = std::min(pageWidget->height(), main->centralWidget()->height() -
                                                               pageWidget->mapTo(main->centralWidget(), QPoint(0, 0)).y());
        for (QWidget* child : pageWidget->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!child->isWindow() && !child->objectName().isEmpty() && child->isVisibleTo(pageWidget)) {
                EXPECT_LE(child->geometry().bottom(), visible) << i << " " << child->objectName().toStdString();
            }
        }
    }
}

TEST_F(MainWindow, MenuBarShowsFourMenusAndOnlyTheCurrentCommands)
{
    const QStringList start{"&File", "&Tab", "&Commands", "&Help"};
    EXPECT_EQ(VisibleMenus(), start);
    EXPECT_EQ(VisibleCommandsMenu(), "mnuTabQC_Commands");

    // Six Commands menus between Tab and Help, in page order.
    QStringList all;
    for (QAction* a : main->menuBar()->actions())
        all << (a->menu() ? a->menu()->objectName() : QString());
    EXPECT_EQ(all, (QStringList{"mnuFile", "mnuTab", kCommandsMenus[0], kCommandsMenus[1], kCommandsMenus[2],
                                kCommandsMenus[3], kCommandsMenus[4], kCommandsMenus[5], "mnuHelp"}));

    for (int page : {3, 1, 5, 4, 2, 0, 5}) {
        main->SSTab1->setCurrentIndex(page);
        EXPECT_EQ(VisibleMenus(), start) << page;
        EXPECT_EQ(VisibleCommandsMenu(), kCommandsMenus[page]) << page;
        // No hidden entry keeps an access key: the bar would hand Alt+C to each in turn.
        int withKey = 0;
        for (QAction* a : main->menuBar()->actions())
            withKey += QKeySequence::mnemonic(a->text()) == QKeySequence(Qt::ALT | Qt::Key_C);
        EXPECT_EQ(withKey, 1) << page;
    }
}

TEST_F(MainWindow, TabMenuItemsSelectTheirPages)
{
    QMenu* tab = Named<QMenu>(main, "mnuTab");
    const char* items[] = {"mnuTabQuickCleanUP",  "mnuTabScriptEditor",  "mnuTabUrlHound",
                           "mnuTabCookieEditor", "mnuTabBleachUtility", "mnuTabActivityReport"};
    const char* captions[] = {"&Quick Clean Up", "S&cript Editor",  "&Url Hound",
                              "Coo&kie Editor",  "&Bleach Utility", "Activity &Report"};
    ASSERT_EQ(tab->actions().size(), 6);
    for (int i : {5, 2, 0, 4, 1, 3}) {
        QAction* a = tab->actions()[i];
        EXPECT_EQ(a->objectName(), items[i]);
        EXPECT_EQ(a->text(), captions[i]);
        a->trigger();
        EXPECT_EQ(main->SSTab1->currentIndex(), i);
        EXPECT_EQ(VisibleCommandsMenu(), kCommandsMenus[i]);
    }
    QMenu* file = Named<QMenu>(main, "mnuFile");
    ASSERT_EQ(file->actions().size(), 1);
    EXPECT_EQ(file->actions()[0]->objectName(), "mnuFileExit");
    EXPECT_EQ(file->actions()[0]->text(), "E&xit");
}

TEST_F(MainWindow, HelpAndCommandsMenusHaveTheirItemsInOrder)
{
    QMenu* help = Named<QMenu>(main, "mnuHelp");
    QStringList shape;
    for (QAction* a : help->actions())
        shape << a->objectName() + "|" + (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(shape, (QStringList{"mnuHelpContents|&Web Help", "mnuHelpSpace1|-", "mnuHelpUpgrades|&Upgrades",
                                  "mnuHelpSpace3|-", "mnuHelpProblems|Report &Problems",
                                  "mnuHelpSuggestions|&Make Suggestions", "mnuHelpSpace2|-", "mnuHelpAbout|&About"}));
    for (QAction* a : help->actions())
        EXPECT_TRUE(a->isEnabled());

    const char* codes[] = {"QC", "SE", "UH", "CE", "BU", "AR"};
    const char* titles[] = {"Quick Clean Up", "Script Editor",  "Url Hound",
                            "Cookie Editor",  "Bleach Utility", "Activity Report"};
    for (int i = 0; i < 6; ++i) {
        QMenu* m = Named<QMenu>(main, kCommandsMenus[i]);
        ASSERT_GE(m->actions().size(), 2);
        // The caption's access key belongs to the menu on the bar alone: Alt+C opens it.
        EXPECT_EQ(m->title(), i == 0 ? "&Commands" : "Commands");
        EXPECT_EQ(m->actions()[0]->objectName(), QString("mnuTabCommandsTitle") + codes[i]);
        EXPECT_EQ(m->actions()[0]->text(), titles[i]);
        EXPECT_TRUE(m->actions()[0]->isEnabled());
        EXPECT_TRUE(m->actions()[1]->isSeparator());
        EXPECT_EQ(m->actions()[1]->objectName(), QString("mnuTabCommandsSpace") + codes[i]);
        // The title item does nothing: the page stays, the window stays.
        m->actions()[0]->trigger();
        EXPECT_EQ(main->SSTab1->currentIndex(), 0);
    }
    QMenu* bu = Named<QMenu>(main, "mnuTabBU_Commands");
    ASSERT_EQ(bu->actions().size(), 3);
    EXPECT_EQ(bu->actions()[2]->text(), "Disabled for safety");
    EXPECT_FALSE(bu->actions()[2]->isEnabled());
    EXPECT_EQ(tp.exit.calls, 0);
}

TEST_F(MainWindow, TabStopsFollowThePageCode)
{
    // A few coded controls on the pages, as the page layouts will place them.
    auto* qcList = new QListWidget(&main->quickCleanUpPage());
    qcList->setObjectName("QC_lstScripts");
    auto* uhText = new QLineEdit(&main->urlHoundPage());
    uhText->setObjectName("UH_txtCacheSearchString");
    // The Bleach Utility page's own list and Execute button.
    QListWidget* buList = main->bleachUtilityPage().BU_lstFiles;
    QPushButton* buExecute = main->bleachUtilityPage().BU_cmdExecute;
    auto* buOther = new QPushButton("Add", &main->bleachUtilityPage());
    buOther->setObjectName("BU_cmdDesigned");
    buOther->setFocusPolicy(Qt::TabFocus);  // a design policy that "on" must give back
    auto* lower = new QPushButton("x", &main->bleachUtilityPage());
    lower->setObjectName("bu_cmdLower");  // codes compare with their letter case
    auto* freeCmd = new QPushButton("y", main->centralWidget());
    freeCmd->setObjectName("cmdFree");

    for (int page : {4, 2, 0, 4}) {
        main->SSTab1->setCurrentIndex(page == 0 ? 1 : 0);  // a real change each time
        main->SSTab1->setCurrentIndex(page);
        EXPECT_EQ(qcList->focusPolicy(), page == 0 ? Qt::StrongFocus : Qt::NoFocus) << page;
        EXPECT_EQ(uhText->focusPolicy(), page == 2 ? Qt::StrongFocus : Qt::NoFocus) << page;
        EXPECT_EQ(buList->focusPolicy(), page == 4 ? Qt::StrongFocus : Qt::NoFocus) << page;
        EXPECT_EQ(buOther->focusPolicy(), page == 4 ? Qt::TabFocus : Qt::NoFocus) << page;
        EXPECT_EQ(buExecute->focusPolicy(), Qt::NoFocus) << page;
        EXPECT_EQ(lower->focusPolicy(), Qt::StrongFocus) << page;
        EXPECT_EQ(freeCmd->focusPolicy(), Qt::StrongFocus) << page;
    }

    // On the Bleach Utility page the Tab key walks its controls and never reaches Execute.
    main->show();
    QApplication::setActiveWindow(main);
    buList->setFocus();
    QSet<QString> reached;
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (QWidget* w = QApplication::focusWidget())
            reached << w->objectName();
    }
    EXPECT_FALSE(reached.contains("BU_cmdExecute"));
    EXPECT_FALSE(reached.contains("QC_lstScripts"));
    EXPECT_FALSE(reached.contains("UH_txtCacheSearchString"));
    EXPECT_TRUE(reached.contains("BU_cmdAdd"));
    EXPECT_TRUE(reached.contains("BU_cmdDesigned"));
    main->hide();
}

TEST_F(MainWindow, HelpItemsOpenTheirPages)
{
    const std::pair<const char*, const char*> items[] = {{"mnuHelpContents", kWebHelpPage},
                                                         {"mnuHelpUpgrades", kHomePage},
                                                         {"mnuHelpProblems", kSupportPage},
                                                         {"mnuHelpSuggestions", kFeedbackPage}};
    for (const auto& [name, page] : items) {
        tp.browser.opened.clear();
        Named<QAction>(main, name)->trigger();
        EXPECT_EQ(tp.browser.opened, (std::vector<std::string>{page})) << name;
    }
    EXPECT_TRUE(tp.dialogs.boxes.empty());
    EXPECT_EQ(std::string(kSupportPage).substr(std::string(kSupportPage).rfind('/')), "/support.asp");
    EXPECT_EQ(std::string(kFeedbackPage).substr(std::string(kFeedbackPage).rfind('/')), "/feedback.asp");
}

TEST_F(MainWindow, WithoutABrowserTheHelpItemsAndTheMailLinkSaySo)
{
    tp.browser.installed = false;
    Named<QAction>(main, "mnuHelpContents")->trigger();
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u) << "Web Help does nothing";
    EXPECT_EQ(tp.dialogs.boxes[0].text, std::string("No web browser could be started for this address:\r\n") +
                                            kWebHelpPage +
                                            "\r\n\r\nSet one up for the desktop, or open the address yourself.");
    EXPECT_EQ(tp.dialogs.boxes[0].title, "Brimlow");
    EXPECT_EQ(tp.dialogs.boxes[0].buttons, MsgBoxButtons::Ok);

    Named<QAction>(main, "mnuHelpAbout")->trigger();
    ASSERT_NE(main->about(), nullptr);
    QTest::mouseClick(main->about()->Label5, Qt::LeftButton);
    ASSERT_EQ(tp.dialogs.boxes.size(), 2u);
    EXPECT_EQ(tp.dialogs.boxes[1].text.rfind(std::string("No mail program could be started for this address:\r\n") +
                                                 kMailLink,
                                             0),
              0u)
        << tp.dialogs.boxes[1].text;
}

TEST_F(MainWindow, TheAboutBoxShowsTheVersionThatDashDashVersionPrints)
{
    Named<QAction>(main, "mnuHelpAbout")->trigger();
    ASSERT_NE(main->about(), nullptr);
    const QStringList lines = main->about()->lblTitle->text().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    ASSERT_TRUE(lines[1].startsWith(QLatin1String("Version "))) << lines[1].toStdString();
    const std::string shown = lines[1].mid(8).toStdString();

    const std::string command = "'" + (test::BuiltProgramFolder() / "Brimlow").string() + "' --version";
    FILE* out = ::popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    std::string printed;
    char buf[256];
    while (const std::size_t n = std::fread(buf, 1, sizeof buf, out))
        printed.append(buf, n);
    EXPECT_EQ(::pclose(out), 0);
    EXPECT_EQ(printed, "Brimlow " + shown + "\n");
}

TEST_F(MainWindow, AboutBoxOpensOnceClosesAndOpensAgain)
{
    QAction* about = Named<QAction>(main, "mnuHelpAbout");
    main->show();
    about->trigger();
    frmAbout* box = main->about();
    ASSERT_NE(box, nullptr);
    about->trigger();
    EXPECT_EQ(main->about(), box);
    EXPECT_EQ(box->parent(), nullptr);  // no owner
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowTitle(), "About Brimlow");
    EXPECT_EQ(box->windowType(), Qt::Tool);  // no task-bar button
    EXPECT_FALSE(box->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(box->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(box->size(), QSize(382, 262));
    EXPECT_EQ(box->lblTitle->text(), "Brimlow\nVersion 3.012");
    EXPECT_EQ(box->cmdSysInfo->text(), "&System Info...");
    EXPECT_TRUE(box->cmdOK->isDefault());

    // The contact labels hand their own captions on.
    QTest::mouseClick(box->Label30, Qt::LeftButton);
    QTest::mouseClick(box->Label5, Qt::LeftButton);
    EXPECT_EQ(tp.browser.opened, (std::vector<std::string>{kHomePage, kMailLink}));

    // Esc, then OK, each close it; "About" brings it back.
    QPointer<frmAbout> first = box;
    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_EQ(main->about(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    about->trigger();
    ASSERT_NE(main->about(), nullptr);
    EXPECT_EQ(main->about()->windowTitle(), "About Brimlow");
    QTest::mouseClick(main->about()->cmdOK, Qt::LeftButton);
    EXPECT_EQ(main->about(), nullptr);
    EXPECT_EQ(tp.exit.calls, 0);

    // Open at exit: the shut-down unloads it.
    about->trigger();
    QPointer<frmAbout> open = main->about();
    main->close();
    EXPECT_TRUE(open.isNull());
    EXPECT_EQ(tp.exit.calls, 1);
}

TEST_F(MainWindow, SystemInfoButtonStartsTheTool)
{
    tp.registry.entries.push_back({kSysInfoKey, kSysInfoValue, {kRegSz, std::string("/opt/sysinfo\0", 13)}});
    main->mnuHelpAbout_Click();
    QTest::mouseClick(main->about()->cmdSysInfo, Qt::LeftButton);
    EXPECT_EQ(tp.starter.started, (std::vector<std::string>{"/opt/sysinfo"}));
    EXPECT_TRUE(tp.dialogs.boxes.empty());
}

TEST_F(MainWindow, FocusOnTheTabStripShowsTheChosenReport)
{
    auto* option = Named<QRadioButton>(main, "AR_optActivityReport");
    auto* other = Named<QRadioButton>(main, "AR_optUrlHoundSearch");
    auto* log = Named<QPlainTextEdit>(main, "AR_txtActivityReport");
    auto* report = Named<QPlainTextEdit>(main, "AR_txtCacheSearchReport");
    main->SSTab1->setCurrentIndex(5);
    main->show();
    QApplication::setActiveWindow(main);

    for (bool viewLog : {false, true, false}) {
        // Only the option changes; the boxes follow when the tab strip gets the focus.
        QSignalBlocker quiet(viewLog ? option : other);
        (viewLog ? option : other)->setChecked(true);
        log->setVisible(!viewLog);
        report->setVisible(viewLog);
        other->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), other);
        main->SSTab1->tabBar()->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), main->SSTab1->tabBar());
        EXPECT_EQ(log->isVisible(), viewLog) << viewLog;
        EXPECT_EQ(report->isVisible(), !viewLog) << viewLog;
    }
    main->hide();
}
