// The settings file across whole runs of the main window, with the real runner, UrlHound and
// store: what a start-up keeps when it cannot trust what it reads, and what the exit writes.
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "bleach/BleachUtilityPage.h"
#include "bleach/FolderList.h"
#include "cookies/MCookieEditor.h"
#include "host/MActivityReport.h"
#include "host/TextListView.h"
#include "host/UserSettingsFile.h"
#include "scripts/QuickCleanUpPage.h"
#include "shell/frmMain.h"
#include "support/MainWindowTest.h"
#include "support/GuiTestSupport.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"
#include "support/Unprivileged.h"

using namespace brimlow;
namespace fs = std::filesystem;

namespace {

const std::string S = "\x01\r\n";  // a separator line

std::string Source(const std::string& site)
{
    return std::string("Cookie:") + test::kTestUser + "@" + site + "/";
}

class SettingsRun : public test::MainWindowTest {
protected:
    const std::string settingsName = std::string(test::kTestUser) + ".dat";

    void Start()
    {
        main = std::make_unique<frmMain>(tp.platform);
        main->Form_Load();
    }
    void Exit()
    {
        main->close();
        main.reset();
    }
    QuickCleanUpPage& page() { return main->quickCleanUpPage(); }
    std::string Settings(const std::vector<std::string>& protect)
    {
        std::string text = "0\r\n" + S;
        for (const auto& p : protect)
            text += p + "\r\n";
        return text + S + S + S + S + "50\r\n" + S + S + "/\r\n" + S;
    }
};

}  // namespace

// A start-up that cannot read the cookie dump cannot tell which protected sources have gone:
// it keeps them all, the exit writes them back, and the next healthy start still protects
// them (before, they were dropped and the next Execute deleted them).
TEST_F(SettingsRun, ProtectedCookiesOutliveAStoreThatCouldNotBeRead)
{
    dir.Write(settingsName, Settings({Source("keep.example"), Source("gone.example")}));
    fs::create_directories(dir.storeFolder());
    dir.WriteFile(dir.storeFolder() / "index.sqlite", std::string(8192, 'x'));  // damaged: no store
    Start();
    EXPECT_EQ(test::ListLines(page().QC_lstDelCookies), (std::vector<std::string>{Source("keep.example"), Source("gone.example")}));
    EXPECT_TRUE(test::ListLines(page().QC_lstCookies).empty());
    page().RefreshCleanupCookieLists();  // the tab's own refresh keeps them too
    EXPECT_EQ(page().QC_lstDelCookies->count(), 2);
    Exit();
    EXPECT_EQ(dir.Read(settingsName), Settings({Source("keep.example"), Source("gone.example")}));

    // The store healthy again: a source it no longer holds may go now, the other stays protected.
    fs::remove(dir.storeFolder() / "index.sqlite");
    test::SeedCookieSources(dir.storeFolder(), {Source("keep.example"), Source("other.example")});
    Start();
    EXPECT_EQ(test::ListLines(page().QC_lstDelCookies), std::vector<std::string>{Source("keep.example")});
    EXPECT_EQ(test::ListLines(page().QC_lstCookies), std::vector<std::string>{Source("other.example")});
}

TEST_F(SettingsRun, ProtectedCookiesOutliveACookieDumpCutShort)
{
    tp.runner.passThrough = false;  // the dumps are the test's own
    dir.Write(settingsName, Settings({Source("keep.example"), Source("later.example")}));
    // The second record is cut inside its fields: what came after it is not known.
    dir.Write("OrlinCookie.dat", Source("keep.example") + "\nN\\A\n1\n1/1/2031\n1/1/2024\n@\nN\\A\n@\n" +
                                     Source("x.example") + "\nN\\A\n1\n");
    Start();
    EXPECT_EQ(test::ListLines(page().QC_lstDelCookies),
              (std::vector<std::string>{Source("keep.example"), Source("later.example")}));
    EXPECT_TRUE(test::ListLines(page().QC_lstCookies).empty()) << "only whole records are listed";
}

// A settings file the start-up cannot read is said, with its path, and kept as it is.
TEST_F(SettingsRun, ASettingsFileThatCannotBeReadIsSaidAtStartAndNotReplacedAtExit)
{
    test::CreateStore(dir.storeFolder());  // healthy and empty: UrlHound says nothing
    const fs::path path = dir.file(settingsName);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    Start();
    page().QC_txtDelay->setText("9");  // a change in the run does not write either
    QCoreApplication::processEvents();
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].title, "File I\\O Error");
    EXPECT_NE(tp.dialogs.boxes[0].text.find("Settings file: " + path.string()), std::string::npos);
    EXPECT_NE(ReadActivityLog(tp.platform).find("ERROR: The settings could not be read (not a regular file): " +
                                                path.string() + "\r\n"),
              std::string::npos);
    Exit();
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the exit wrote its settings over it";

    // Another owner's file, private to that owner. (The log the last exit left is this
    // test's own, and goes, so that the other user can keep one.)
    fs::remove(path);
    fs::remove(dir.file("ActivityReport.dat"));
    const std::string theirs = Settings({Source("theirs.example")});
    dir.Write(settingsName, theirs);
    ::chmod(path.c_str(), 0600);
    {
        test::Unprivileged user({{dir.root(), 0755}, {dir.folder(), 0777}});
        ASSERT_TRUE(user.ok());
        Start();
        EXPECT_TRUE(page().QC_lstDelCookies->count() == 0);
        ASSERT_EQ(tp.dialogs.boxes.size(), 2u);
        EXPECT_NE(tp.dialogs.boxes[1].text.find("(permission denied)"), std::string::npos);
        Exit();
    }
    EXPECT_EQ(dir.Read(settingsName), theirs);
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);

    // A file that reads back as settings is replaced, as ever.
    fs::remove(path);
    Start();
    EXPECT_EQ(tp.dialogs.boxes.size(), 2u);
    Exit();
    EXPECT_TRUE(dir.Exists(settingsName));
}

namespace {

// The real calls, counting the files replaced.
class CountingCalls final : public PosixFileCalls {
public:
    int Rename(const char* from, const char* to) override
    {
        ++renames;
        return PosixFileCalls::Rename(from, to);
    }
    int renames = 0;
};

}  // namespace

// Each lasting choice is in the file as soon as the event that made it is done: a run that
// ends without its shut-down (a crash, SIGKILL) keeps them all. Before, only the exit wrote.
TEST_F(SettingsRun, EveryLastingChoiceIsWrittenWhenItChanges)
{
    CountingCalls calls;
    tp.platform.files = &calls;
    test::SeedCookieSources(dir.storeFolder(), {Source("a.example"), Source("b.example"), Source("c.example")});
    dir.Write("one.scr", "t\r\n");
    dir.Write("two.scr", "t\r\n");
    const fs::path kept = dir.root() / "kept folder";
    fs::create_directories(kept);
    const auto saved = [&]() -> RestoredSettings {
        QCoreApplication::processEvents();
        const auto back = ReadUserSettings(dir.Exists(settingsName) ? dir.Read(settingsName) : "");
        return back ? *back : RestoredSettings{};
    };

    Start();
    EXPECT_FALSE(dir.Exists(settingsName)) << "the start-up restores, it writes nothing";

    for (int row = 0; row < 3; ++row)
        page().QC_lstCookies->setRowSelected(row, true);
    page().QC_lstCookies->setCurrentRow(2, QItemSelectionModel::Select);
    page().QC_cmdAdd_Click();
    EXPECT_EQ(saved().protectedCookies,
              (std::vector<std::string>{Source("c.example"), Source("b.example"), Source("a.example")}));
    EXPECT_EQ(calls.renames, 1) << "three entries moved by one click are one write";

    page().QC_lstDelCookies->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    page().QC_cmdRemove_Click();
    EXPECT_EQ(saved().protectedCookies, (std::vector<std::string>{Source("b.example"), Source("a.example")}));

    page().QC_lstScripts->item(1)->setCheckState(Qt::Checked);
    EXPECT_EQ(saved().selectedScripts, std::vector<std::string>{"two.scr"});

    page().QC_txtDelay->setText("750");
    EXPECT_EQ(saved().delay, "750");

    main->bleachUtilityPage().BU_Dir1->SetPath(kept.string());
    EXPECT_EQ(saved().bleachFolder, kept.string());

    // A tab switch that rebuilds the lists without changing them writes nothing.
    const int writes = calls.renames;
    main->setCurrentPage(PageHost::kBleachUtility);
    main->setCurrentPage(PageHost::kQuickCleanUp);
    QCoreApplication::processEvents();
    EXPECT_EQ(calls.renames, writes);

    // The run ends without its shut-down; the next start has every choice back.
    main.reset();
    Start();
    EXPECT_EQ(test::ListLines(page().QC_lstDelCookies), (std::vector<std::string>{Source("b.example"), Source("a.example")}));
    EXPECT_EQ(page().QC_lstScripts->item(1)->checkState(), Qt::Checked);
    EXPECT_EQ(page().QC_txtDelay->text().toStdString(), "750");
    EXPECT_EQ(main->bleachUtilityPage().Folder(), kept.string());
}
