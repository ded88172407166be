// Start-up through the splash, and the login dialog.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QPlainTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include "host/MRunUrlHound.h"
#include "host/frmRefreshingCache.h"
#include "platform/qt/QtText.h"
#include "shell/Forms.h"
#include "shell/MGlobalInitialization.h"
#include "shell/frmLogin.h"
#include "shell/frmMain.h"
#include "shell/frmSplash.h"
#include "support/GuiTestSupport.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;
using brimlow::test::Named;

namespace {

// Watches the progress window for the whole start-up.
class ShownWatcher : public QObject {
public:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Show && o->objectName() == "frmRefreshingCache")
            ++shows;
        return false;
    }
    int shows = 0;
};

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        tp.platform.programFolder = dir.folder();
        tp.platform.storeFolder = dir.storeFolder();
        forms = std::make_unique<Forms>(tp.platform);
    }
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    std::unique_ptr<Forms> forms;
};

}  // namespace

TEST_F(Startup, SplashLoadsTheMainWindowHiddenAndArmsItsTimer)
{
    dir.WithUrlHound();
    ShownWatcher watcher;
    qApp->installEventFilter(&watcher);
    frmSplash& splash = forms->LoadSplash();
    qApp->removeEventFilter(&watcher);

    EXPECT_TRUE(splash.isVisible());
    ASSERT_NE(forms->main(), nullptr);
    frmMain& main = *forms->main();
    EXPECT_FALSE(main.isVisible());
    EXPECT_TRUE(main.bNotInitial);
    EXPECT_EQ(splash.Timer1->interval(), std::chrono::milliseconds(5000));
    EXPECT_TRUE(splash.Timer1->isActive());

    // UrlHound ran hidden, from the program folder, in the program folder: once for the
    // start-up, once for the Url Hound page's refresh and once, for the cookie dump only,
    // for the Cookie Editor's.
    ASSERT_EQ(tp.runner.calls.size(), 3u);
    const std::string tool = (dir.folder() / kUrlHoundName).string();
    EXPECT_EQ(tp.runner.calls[0].argv, (std::vector<std::string>{tool}));
    EXPECT_EQ(tp.runner.calls[1].argv, (std::vector<std::string>{tool}));
    EXPECT_EQ(tp.runner.calls[2].argv, (std::vector<std::string>{tool, "4"}));
    for (const auto& call : tp.runner.calls)
        EXPECT_EQ(call.workingFolder, dir.folder());
    EXPECT_EQ(watcher.shows, 0);  // no progress window during start-up
    ASSERT_NE(main.refreshingCache(), nullptr);
    EXPECT_FALSE(main.refreshingCache()->isVisible());
    EXPECT_TRUE(main.refreshingCache()->isEnabled());

    // The tutorial is in its box by the end of the load, its empty first line included.
    const QString tutorial = Named<QPlainTextEdit>(&main, "SE_rtfTutorial")->toPlainText();
    EXPECT_TRUE(tutorial.startsWith(QStringLiteral("\n              QUICK TUTORIAL\n\nSTEP 1\n")))
        << tutorial.left(40).toStdString();
    EXPECT_EQ(tutorial, ToBoxText(kTutorialText));
}

TEST_F(Startup, SplashTimerIsOffWhileTheMainWindowLoads)
{
    // A runner that looks at the splash while the load is running UrlHound.
    struct Probe final : ProcessRunner {
        Forms* forms = nullptr;
        bool sawTimerActive = true;
        bool sawNotInitial = true;
        void RunAndWait(const std::vector<std::string>&, const std::filesystem::path&) override
        {
            sawTimerActive = forms->splash()->Timer1->isActive();
            sawNotInitial = forms->main()->bNotInitial;
        }
    } probe;
    probe.forms = forms.get();
    tp.platform.runner = &probe;
    forms->LoadSplash();
    EXPECT_FALSE(probe.sawTimerActive);
    EXPECT_FALSE(probe.sawNotInitial);
    EXPECT_TRUE(forms->splash()->Timer1->isActive());
}

TEST_F(Startup, ClickKeyOrLogoClickShowsTheMainWindow)
{
    enum Way { Click, Key, Logo };
    for (Way way : {Click, Key, Logo}) {
        Forms f(tp.platform);
        frmSplash& splash = f.LoadSplash();
        QApplication::setActiveWindow(&splash);
        splash.setFocus();
        switch (way) {
        case Click:
            QTest::mouseClick(&splash, Qt::LeftButton, {}, QPoint(4, 4));  // on the margin
            break;
        case Key:
            QTest::keyClick(&splash, Qt::Key_A);
            break;
        case Logo:
            QTest::mouseClick(splash.imgLogo, Qt::LeftButton);
            break;
        }
        EXPECT_TRUE(f.main()->isVisible()) << way;
        EXPECT_FALSE(splash.isVisible()) << way;
        EXPECT_FALSE(splash.Timer1->isActive()) << way;
        f.main()->hide();
    }
}

TEST_F(Startup, TimerShowsTheMainWindowAfterFiveSeconds)
{
    frmSplash& splash = forms->LoadSplash();
    // Five seconds on the scheduler's time, a few milliseconds of the test's.
    tp.scheduler.Advance(std::chrono::milliseconds(4999));
    EXPECT_FALSE(forms->main()->isVisible());
    EXPECT_TRUE(splash.isVisible());
    tp.scheduler.Advance(std::chrono::milliseconds(1));
    EXPECT_TRUE(forms->main()->isVisible());
    EXPECT_FALSE(splash.isVisible());
    EXPECT_FALSE(splash.Timer1->isActive());
    forms->main()->hide();
}

TEST_F(Startup, TimerWithTheMainWindowShownOnlyStopsItself)
{
    frmSplash& splash = forms->LoadSplash();
    forms->main()->show();  // as a click during the load would have done
    splash.show();          // still on screen: the timer must leave it alone
    splash.Timer1_Timer();
    EXPECT_FALSE(splash.Timer1->isActive());
    EXPECT_TRUE(splash.isVisible());
    EXPECT_TRUE(forms->main()->isVisible());
    forms->main()->hide();
}

TEST_F(Startup, SmallWindowsHaveNoTaskBarButtonAndTheirLayout)
{
    frmSplash& splash = forms->LoadSplash();
    EXPECT_EQ(splash.windowType(), Qt::SplashScreen);
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(splash.size(), QSize(520, 160));
    EXPECT_EQ(splash.imgLogo->geometry(), QRect(12, 12, 497, 135));
    EXPECT_EQ(splash.imgLogo->pixmap().size(), QSize(504, 144));
    EXPECT_TRUE(splash.imgLogo->hasScaledContents());

    frmRefreshingCache* busy = forms->main()->refreshingCache();
    EXPECT_EQ(busy->windowType(), Qt::Tool);
    EXPECT_EQ(busy->size(), QSize(312, 111));
    EXPECT_EQ(busy->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(busy->Label1->text(), "Brimlow is refrshing the cache data.\n"
                                    "This may take a minute depending on the size and number of cache entries.");
    EXPECT_TRUE(busy->Label1->font().bold());
    EXPECT_EQ(busy->Status->text(), "");
    EXPECT_EQ(busy->Status->width(), 312);
    EXPECT_EQ(busy->ProgressBar1->minimum(), 0);
    EXPECT_EQ(busy->ProgressBar1->maximum(), 100);
    EXPECT_TRUE(busy->ProgressBar1->isHidden());
    EXPECT_EQ(busy->ProgressBar1->width(), 312);
    EXPECT_TRUE(busy->ProgressBar1->geometry().intersects(busy->Status->geometry()));

    frmLogin& login = forms->LoadLogin();
    EXPECT_EQ(login.windowType(), Qt::Tool);
    EXPECT_EQ(login.size(), QSize(250, 103));
}

// ---- login ----

class Login : public Startup {
protected:
    frmLogin& Show()
    {
        frmLogin& login = forms->LoadLogin();
        login.show();
        QApplication::setActiveWindow(&login);
        login.txtPassword->setFocus();
        return login;
    }
};

TEST_F(Login, LayoutAndMaskedEntry)
{
    frmLogin& login = Show();
    EXPECT_EQ(login.lblLabels->text(), "Enter &Password:");
    EXPECT_EQ(login.lblLabels->buddy(), login.txtPassword);
    EXPECT_EQ(login.cmdOK->text(), "OK");
    EXPECT_TRUE(login.cmdOK->isDefault());
    EXPECT_EQ(login.cmdCancel->text(), "Cancel");
    QTest::keyClicks(login.txtPassword, "abc");
    EXPECT_EQ(login.txtPassword->displayText(), "***");
    EXPECT_FALSE(login.txtPassword->testAttribute(Qt::WA_InputMethodEnabled));
}

TEST_F(Login, WrongOrCaseDifferingPasswordIsRefusedAndKept)
{
    for (const char* typed : {"seven lanterns at dusk", "Seven Lanterns At Dusk ", "nope", ""}) {
        frmLogin& login = Show();
        login.txtPassword->setText(typed);
        tp.dialogs.boxes.clear();
        QTest::keyClick(login.txtPassword, Qt::Key_Return);  // Enter presses OK
        ASSERT_EQ(tp.dialogs.boxes.size(), 1u) << typed;
        EXPECT_EQ(tp.dialogs.boxes[0].text, "Invalid Password, try again!");
        EXPECT_EQ(tp.dialogs.boxes[0].title, "Login");
        EXPECT_EQ(tp.dialogs.boxes[0].buttons, MsgBoxButtons::Ok);
        EXPECT_EQ(login.txtPassword->text(), typed);
        EXPECT_EQ(QApplication::focusWidget(), login.txtPassword);
        EXPECT_EQ(forms->splash(), nullptr);
        EXPECT_EQ(forms->login(), &login);
    }
    EXPECT_EQ(tp.exit.calls, 0);
}

TEST_F(Login, RightPasswordRunsTheStartUpAndUnloadsTheDialog)
{
    dir.WithUrlHound();
    test::CreateStore(dir.storeFolder());  // an empty cache: nothing to report
    frmLogin& login = Show();
    QTest::keyClicks(login.txtPassword, kLoginPassword);
    QTest::mouseClick(login.cmdOK, Qt::LeftButton);
    EXPECT_TRUE(tp.dialogs.boxes.empty());
    ASSERT_NE(forms->splash(), nullptr);
    ASSERT_NE(forms->main(), nullptr);
    EXPECT_TRUE(forms->main()->bNotInitial);
    EXPECT_EQ(tp.runner.calls.size(), 3u);
    EXPECT_EQ(forms->login(), nullptr);
    EXPECT_EQ(tp.exit.calls, 0);
}

TEST_F(Login, EscAndCancelEndAtOnce)
{
    frmLogin& login = Show();
    QTest::keyClick(login.txtPassword, Qt::Key_Escape);
    EXPECT_EQ(tp.exit.calls, 1);
    QTest::mouseClick(login.cmdCancel, Qt::LeftButton);
    EXPECT_EQ(tp.exit.calls, 2);
    EXPECT_EQ(forms->splash(), nullptr);  // no start-up, no shut-down steps
    EXPECT_TRUE(tp.runner.calls.empty());
}
