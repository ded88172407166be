// The Bleach Utility page alone on its host, on a temporary folder tree: what it queues is
// exactly what the user picked, and Execute destroys exactly the queue once confirmed.
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <functional>
#include <thread>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "bleach/BleachUtilityPage.h"
#include "bleach/FolderList.h"
#include "bleach/MBleachUtility.h"
#include "host/MActivityReport.h"
#include "support/FakePageHost.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;
namespace fs = std::filesystem;

namespace {

std::string Bytes(const QListWidgetItem* item)
{
    return item->data(BleachUtilityPage::kBytesRole).toByteArray().toStdString();
}

std::vector<std::string> Entries(const QListWidget* list)
{
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i)
        out.push_back(Bytes(list->item(i)));
    return out;
}

class BleachPageTest : public testing::Test {
protected:
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    test::FakePageHost host;
    fs::path tree = dir.root() / "tree";
    std::unique_ptr<BleachUtilityPage> page;

    void SetUp() override
    {
        TheDestructionList().Clear();
        tp.platform.programFolder = dir.folder();
        fs::create_directories(tree / "sub");
        for (const char* name : {"a", "b", "c"})
            Write(name, std::string("content of ") + name);
        page = std::make_unique<BleachUtilityPage>(host, tp.platform);
        page->resize(541, 433);
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
        page->BU_Dir1->SetPath(tree.string());
        tp.dialogs.boxes.clear();
    }
    void TearDown() override { TheDestructionList().Clear(); }

    void Write(const std::string& name, const std::string& bytes) const
    {
        test::TempProgramFolder::WriteFile(tree / name, bytes);
    }
    std::string Path(const std::string& name) const { return (tree / name).string(); }
    std::string Log() const { return ReadActivityLog(tp.platform); }

    int Row(QListWidget* list, const std::string& bytes) const
    {
        const auto e = Entries(list);
        const auto at = std::find(e.begin(), e.end(), bytes);
        return at == e.end() ? -1 : static_cast<int>(at - e.begin());
    }
    void Click(QListWidget* list, int row, Qt::KeyboardModifiers mods = {})
    {
        ASSERT_GE(row, 0);
        list->scrollToItem(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, mods, list->visualItemRect(list->item(row)).center());
    }
    // Picks these files of the file list with Ctrl clicks and presses "Add File".
    void Queue(const std::vector<std::string>& names)
    {
        for (std::size_t i = 0; i < names.size(); ++i)
            Click(page->BU_lstDirFiles, Row(page->BU_lstDirFiles, names[i]), i ? Qt::ControlModifier : Qt::NoModifier);
        QTest::mouseClick(page->BU_cmdAdd, Qt::LeftButton);
    }
    void Execute(MsgBoxAnswer answer)
    {
        tp.dialogs.answers.push_back(answer);
        QTest::mouseClick(page->BU_cmdExecute, Qt::LeftButton);
    }
};

}  // namespace

TEST_F(BleachPageTest, ControlsAsLaidOut)
{
    const struct {
        const char* name;
        const char* caption;
        const char* tip;
        int help;
    } buttons[] = {
        {"BU_cmdAdd", "Add File", "Mark file for Destruction..", 508},
        {"BU_cmdRemove", "Remove File", "Remove file from the \"Files To Be Destroyed List\".", 509},
        {"BU_cmdExecute", "Execute",
         "Destryo all files in the \"Files To Be Destroyed List\" based on the selected \"Deletion Option\".", 510},
        {"BU_cmdRefresh", "Refresh", "Refresh Drive, Directory, and File lists.", 511},
        {"BU_cmdClear", "Clear", "Remove all entries from \"Files To Be Destroyed\".", 512},
        {"BU_cmdExit", "Exit", "Exit Brimlow", 513},
    };
    for (const auto& b : buttons) {
        auto* w = page->findChild<QPushButton*>(QString::fromLatin1(b.name));
        ASSERT_NE(w, nullptr) << b.name;
        EXPECT_EQ(w->text().toStdString(), b.caption);
        EXPECT_EQ(w->toolTip().toStdString(), b.tip);
        EXPECT_EQ(w->property("helpContextId").toInt(), b.help) << b.name;
    }
    EXPECT_EQ(page->Label1->text().toStdString(),
              "WARNING:   This utility is highly destructive by design. Unless you are very comfortable\n"
              "with the idea of MASSIVE AND UNRECOVERABLE DATA LOSS, it is not\n"
              "recommended that you utilize this feature!");
    EXPECT_EQ(page->Label2->text().toStdString(), "FILES TO BE DESTROYED:");
    EXPECT_EQ(page->Frame1->title().toStdString(), "&Deletion Options");
    EXPECT_EQ(page->Frame2->title().toStdString(), "Selected file");
    EXPECT_EQ(page->BU_optBleachFirst->text().toStdString(),
              "B&leach files before deleting  ( Opens file and writes 0s )");
    EXPECT_EQ(page->BU_optDeleteOnly->text().toStdString(), "Delete files without bleaching ( Faster than bleaching )");
    EXPECT_TRUE(page->BU_optBleachFirst->isChecked());
    EXPECT_TRUE(page->BU_txtFile->isReadOnly());
    EXPECT_EQ(page->BU_lstFiles->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(page->BU_lstDirFiles->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(page->BU_cmdExecute->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(page->BU_lstFiles->accessibleName().toStdString(), "FILES TO BE DESTROYED:");
    EXPECT_FALSE(page->Image1->pixmap().isNull());

    // The focus order: the folder's file list last, Execute never.
    const std::vector<QWidget*> order = {page->BU_txtFile,     page->BU_Drive1,        page->BU_Dir1,
                                         page->BU_lstFiles,    page->BU_optBleachFirst, page->BU_optDeleteOnly,
                                         page->BU_cmdAdd,      page->BU_cmdRemove,     page->BU_cmdRefresh,
                                         page->BU_cmdClear,    page->BU_cmdExit,       page->BU_lstDirFiles};
    page->BU_txtFile->setFocus();
    for (std::size_t i = 1; i < order.size(); ++i) {
        QWidget* w = order[i - 1]->nextInFocusChain();
        while (w && w != order[i] && !(w->focusPolicy() & Qt::TabFocus))
            w = w->nextInFocusChain();
        EXPECT_EQ(w, order[i]) << "after " << order[i - 1]->objectName().toStdString();
    }

    // The selected-file box takes no typing.
    page->BU_txtFile->setText("x");
    QTest::keyClicks(page->BU_txtFile, "typed");
    EXPECT_EQ(page->BU_txtFile->text().toStdString(), "x");
}

TEST_F(BleachPageTest, AddQueuesTheSelectedFilesLastFirstAndTakesThemOutOfTheFileList)
{
    const std::vector<std::string> listed = Entries(page->BU_lstDirFiles);
    ASSERT_EQ(listed.size(), 3u);
    Queue(listed);
    EXPECT_EQ(Entries(page->BU_lstFiles), (std::vector<std::string>{Path(listed[2]), Path(listed[1]), Path(listed[0])}));
    EXPECT_TRUE(Entries(page->BU_lstDirFiles).empty());
    EXPECT_EQ(TheDestructionList().size(), 3u);
    EXPECT_FALSE(TheDestructionList().NotInDestructionList(Path("a")));

    // A queued file stays out of the list when the folder is shown again.
    page->BU_Dir1->SetPath((tree / "sub").string());
    page->BU_Dir1->SetPath(tree.string());
    EXPECT_TRUE(Entries(page->BU_lstDirFiles).empty());
    EXPECT_TRUE(tp.dialogs.boxes.empty());
}

TEST_F(BleachPageTest, ExecuteWithoutACurrentEntrySaysNoSelectionAndDestroysNothing)
{
    Queue(Entries(page->BU_lstDirFiles));
    page->BU_lstFiles->selectAll();  // selected, but never clicked: no current entry
    ASSERT_EQ(page->BU_lstFiles->currentRow(), -1);
    Execute(MsgBoxAnswer::Yes);
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].text, "You must first select one or more files for destruction.");
    EXPECT_EQ(tp.dialogs.boxes[0].title, "No Selection");
    EXPECT_EQ(Log(), "");
    for (const char* name : {"a", "b", "c"})
        EXPECT_TRUE(fs::exists(Path(name))) << name;
    EXPECT_EQ(page->BU_lstFiles->count(), 3);
}

TEST_F(BleachPageTest, ExecuteAfterOneClickDestroysTheWholeQueueLastEntryFirst)
{
    Queue(Entries(page->BU_lstDirFiles));
    const std::vector<std::string> queue = Entries(page->BU_lstFiles);
    Click(page->BU_lstFiles, 1);  // one entry, the others unselected
    EXPECT_EQ(page->BU_txtFile->text().toStdString(), queue[1]);
    EXPECT_EQ(page->BU_lstFiles->toolTip().toStdString(), queue[1]);
    Execute(MsgBoxAnswer::Yes);

    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].text, "Are you sure you want to permanantly destroy \r\nthese 3  files?");
    EXPECT_EQ(tp.dialogs.boxes[0].title, "Destruction Confirmation");
    EXPECT_EQ(tp.dialogs.boxes[0].buttons, MsgBoxButtons::YesNo);
    std::string expected = "Bleach Utility: [Execute] clicked\r\nBleach Utility: [Execute] confirmed by user\r\n";
    for (auto it = queue.rbegin(); it != queue.rend(); ++it)
        expected += "File deleted\r\n" + *it + "\r\nBleached: True\r\n";
    EXPECT_EQ(Log(), expected);
    for (const char* name : {"a", "b", "c"})
        EXPECT_FALSE(fs::exists(Path(name))) << name;
    EXPECT_EQ(page->BU_lstFiles->count(), 0);
    EXPECT_EQ(TheDestructionList().size(), 0u);
    EXPECT_EQ(page->BU_txtFile->text().toStdString(), "") << "\"Selected file\" names no destroyed file";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the busy cursor is gone";
}

TEST_F(BleachPageTest, AnsweringNoLogsTheCancelAndDestroysNothing)
{
    Queue({"b"});
    Click(page->BU_lstFiles, 0);
    Execute(MsgBoxAnswer::No);
    EXPECT_EQ(Log(), "Bleach Utility: [Execute] clicked\r\nBleach Utility: [Execute] cancelled by user\r\n");
    EXPECT_EQ(test::TempProgramFolder::ReadFile(Path("b")), "content of b");
    EXPECT_EQ(Entries(page->BU_lstFiles), std::vector<std::string>{Path("b")});
}

TEST_F(BleachPageTest, ClearAndRemoveBringTheFilesOfTheFolderBack)
{
    Queue({"a", "b", "c"});
    // Remove with entries selected but none current does nothing.
    page->BU_lstFiles->selectAll();
    page->BU_lstFiles->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
    QTest::mouseClick(page->BU_cmdRemove, Qt::LeftButton);
    EXPECT_EQ(page->BU_lstFiles->count(), 3);

    // A double-click on a queue entry removes the selected entries.
    const int bRow = Row(page->BU_lstFiles, Path("b"));
    Click(page->BU_lstFiles, bRow);
    QTest::mouseDClick(page->BU_lstFiles->viewport(), Qt::LeftButton, {},
                       page->BU_lstFiles->visualItemRect(page->BU_lstFiles->item(bRow)).center());
    EXPECT_EQ(Row(page->BU_lstFiles, Path("b")), -1);
    EXPECT_EQ(Entries(page->BU_lstDirFiles), std::vector<std::string>{"b"});
    EXPECT_TRUE(TheDestructionList().NotInDestructionList(Path("b")));

    page->BU_txtFile->setText("shown");
    QTest::mouseClick(page->BU_cmdClear, Qt::LeftButton);
    EXPECT_EQ(page->BU_lstFiles->count(), 0);
    EXPECT_EQ(TheDestructionList().size(), 0u);
    EXPECT_EQ(page->BU_txtFile->text().toStdString(), "");
    EXPECT_EQ(page->BU_lstDirFiles->count(), 3);
    EXPECT_EQ(Log(), "") << "Clear and Remove log nothing";

    // A double-click in the file list queues at once; the files can be queued again.
    const int cRow = Row(page->BU_lstDirFiles, "c");
    Click(page->BU_lstDirFiles, cRow);
    QTest::mouseDClick(page->BU_lstDirFiles->viewport(), Qt::LeftButton, {},
                       page->BU_lstDirFiles->visualItemRect(page->BU_lstDirFiles->item(cRow)).center());
    EXPECT_EQ(Entries(page->BU_lstFiles), std::vector<std::string>{Path("c")});
}

TEST_F(BleachPageTest, TheDeletionOptionDecidesWhetherTheBlocksAreRewritten)
{
    // A second name for each file's blocks shows what the destruction wrote into them.
    fs::create_directories(dir.root() / "witness");
    for (const bool bleach : {true, false}) {
        const std::string name = bleach ? "bleached" : "deleted";
        Write(name, "0123456789");
        const fs::path witness = dir.root() / "witness" / name;
        fs::create_hard_link(Path(name), witness);
        page->BU_Dir1_Change();
        (bleach ? page->BU_optBleachFirst : page->BU_optDeleteOnly)->click();
        Queue({name});
        Click(page->BU_lstFiles, 0);
        Execute(MsgBoxAnswer::Yes);
        EXPECT_FALSE(fs::exists(Path(name))) << name;
        // Ten bytes of CR LF pairs: the file's own length, not twice it.
        EXPECT_EQ(test::TempProgramFolder::ReadFile(witness), bleach ? "\r\n\r\n\r\n\r\n\r\n" : "0123456789") << name;
        EXPECT_NE(Log().find("File deleted\r\n" + Path(name) + "\r\nBleached: " + (bleach ? "True" : "False")),
                  std::string::npos);
    }
}

TEST_F(BleachPageTest, AQueuedFileReplacedByALinkIsNotFollowed)
{
    const fs::path victim = dir.root() / "victim.txt";
    test::TempProgramFolder::WriteFile(victim, "must survive");
    Queue({"a"});
    fs::remove(Path("a"));
    fs::create_symlink(victim, Path("a"));
    Click(page->BU_lstFiles, 0);
    Execute(MsgBoxAnswer::Yes);
    EXPECT_FALSE(fs::exists(fs::symlink_status(Path("a"))));
    EXPECT_EQ(test::TempProgramFolder::ReadFile(victim), "must survive");
}

TEST_F(BleachPageTest, ANameThatIsNoTextOfTheLocaleStillNamesItsFile)
{
    const std::string odd = "caf\xE9\xFF.txt";
    const std::string twin = "caf\xE9\xFE.txt";  // shows the same once both bytes are replaced
    Write(odd, "odd");
    Write(twin, "twin");
    page->BU_Dir1_Change();
    Queue({odd});
    Click(page->BU_lstFiles, 0);
    Execute(MsgBoxAnswer::Yes);
    EXPECT_FALSE(fs::exists(tree / odd));
    EXPECT_EQ(test::TempProgramFolder::ReadFile(tree / twin), "twin");
}

TEST_F(BleachPageTest, AFolderThatHasGoneSaysSoAndListsNothing)
{
    fs::remove_all(tree);
    page->BU_Dir1_Change();
    EXPECT_EQ(page->BU_lstDirFiles->count(), 0);
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].text, "ERR: Folder does not exist!");
    EXPECT_EQ(tp.dialogs.boxes[0].title, "Folder Missing");
}

TEST_F(BleachPageTest, ADriveThatHasGoneFallsBackOnTheSecondEntry)
{
    const std::string gone = (dir.root() / "unplugged").string();
    tp.volumes.roots = {"/", tree.string(), gone};
    QTest::mouseClick(page->BU_cmdRefresh, Qt::LeftButton);
    ASSERT_EQ(page->BU_Drive1->currentIndex(), 1) << "the drive list shows the folder's drive";

    page->BU_Drive1->setCurrentIndex(2);
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].text, "The selected drive is unavailable.\r\nMake sure you have media in the device.");
    EXPECT_EQ(tp.dialogs.boxes[0].title, "Device Error");
    EXPECT_EQ(page->BU_Drive1->currentIndex(), 1);
    EXPECT_EQ(page->BU_Dir1->Path(), tree.string());

    // The second entry itself fails: one message, the list shows the folder's drive again.
    tp.volumes.roots = {"/", gone};
    QTest::mouseClick(page->BU_cmdRefresh, Qt::LeftButton);
    tp.dialogs.boxes.clear();
    page->BU_Drive1->setCurrentIndex(1);
    EXPECT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(page->BU_Drive1->currentIndex(), 0);

    // One entry only, and it fails: nothing else is chosen for the user.
    tp.volumes.roots = {gone};
    QTest::mouseClick(page->BU_cmdRefresh, Qt::LeftButton);
    EXPECT_EQ(page->BU_Drive1->currentIndex(), -1) << "no drive holds the folder on show";
    tp.dialogs.boxes.clear();
    page->BU_Drive1->setCurrentIndex(0);
    EXPECT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(page->BU_Dir1->Path(), tree.string());
}

TEST_F(BleachPageTest, ChangingDriveOpensThatDrivesCurrentFolder)
{
    tp.volumes.roots = {"/", tree.string()};
    QTest::mouseClick(page->BU_cmdRefresh, Qt::LeftButton);
    page->BU_Dir1->SetPath("/");
    page->BU_Dir1->SetPath((tree / "sub").string());
    ASSERT_EQ(page->BU_Drive1->currentIndex(), 1);
    page->BU_Drive1->setCurrentIndex(0);
    EXPECT_EQ(page->BU_Dir1->Path(), "/");
    page->BU_Drive1->setCurrentIndex(1);
    EXPECT_EQ(page->BU_Dir1->Path(), (tree / "sub").string()) << "the folder last shown on that drive";
    EXPECT_TRUE(tp.dialogs.boxes.empty());
}

TEST_F(BleachPageTest, ExitClosesTheMainWindowAndClicksSetTheTips)
{
    QTest::mouseClick(page->BU_cmdExit, Qt::LeftButton);
    EXPECT_EQ(host.closes, 1);

    Click(page->BU_Dir1, 0);
    EXPECT_EQ(page->BU_Dir1->toolTip().toStdString(), tree.string());
    Click(page->BU_lstDirFiles, 0);
    EXPECT_EQ(page->BU_lstDirFiles->toolTip().toStdString(), Entries(page->BU_lstDirFiles)[0]);
    // Moving with the keys counts as a click on the entry moved to.
    Queue({"a", "b"});
    Click(page->BU_lstFiles, 0);
    QTest::keyClick(page->BU_lstFiles, Qt::Key_Down);
    EXPECT_EQ(page->BU_txtFile->text().toStdString(), Entries(page->BU_lstFiles)[1]);

    page->BU_txtFile->setText("/some/path");
    QTest::mouseClick(page->BU_txtFile, Qt::LeftButton);
    EXPECT_EQ(page->BU_txtFile->toolTip().toStdString(), "/some/path");
}

TEST_F(BleachPageTest, TwoNamesThatDifferOnlyInLetterCaseAreNotQueuedTogether)
{
    // The queue takes the two for one key; the second stays listed and the user is told.
    Write("Dup.txt", "upper");
    Write("dup.txt", "lower");
    page->BU_Dir1_Change();
    Queue({"Dup.txt", "dup.txt"});
    EXPECT_EQ(page->BU_lstFiles->count(), 1);
    EXPECT_EQ(TheDestructionList().size(), 1u);
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_NE(tp.dialogs.boxes[0].text.find("differs only in letter case"), std::string::npos);
    const std::string queued = Entries(page->BU_lstFiles)[0];
    const std::string other = queued == Path("Dup.txt") ? "dup.txt" : "Dup.txt";
    EXPECT_NE(Row(page->BU_lstDirFiles, other), -1);

    Click(page->BU_lstFiles, 0);
    Execute(MsgBoxAnswer::Yes);
    EXPECT_FALSE(fs::exists(queued));
    EXPECT_TRUE(fs::exists(Path(other))) << "only the queued one is destroyed";
}

namespace {

// Counts the paints a widget gets.
struct PaintCount : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// The real file calls, with a turn for the test at each write of the overwrite; each write
// takes `writeMs` as a slow disk would.
struct SlowDisk final : PosixFileCalls {
    std::function<void(int write)> onWrite;
    int writes = 0;
    int writeMs = 0;
    long Pwrite(int fd, const void* b, std::size_t n, std::int64_t o) override
    {
        if (onWrite)
            onWrite(writes);
        ++writes;
        std::this_thread::sleep_for(std::chrono::milliseconds(writeMs));  // the disk's pace, not a wait
        return PosixFileCalls::Pwrite(fd, b, n, o);
    }
};

// Answers as the fake does, and lets the test act when the confirmation box has closed.
struct ConfirmWatch final : Dialogs {
    test::FakeDialogs& inner;
    std::function<void()> afterConfirm;
    explicit ConfirmWatch(test::FakeDialogs& d) : inner(d) {}
    MsgBoxAnswer MsgBox(const std::string& text, const std::string& title, MsgBoxButtons b, MsgBoxIcon i) override
    {
        const MsgBoxAnswer a = inner.MsgBox(text, title, b, i);
        if (title == "Destruction Confirmation" && afterConfirm)
            afterConfirm();
        return a;
    }
    std::optional<std::string> ShowSave(const FileDialogOptions& o) override { return inner.ShowSave(o); }
    std::optional<std::string> ShowOpen(const FileDialogOptions& o) override { return inner.ShowOpen(o); }
};

}  // namespace

TEST_F(BleachPageTest, ALongDestructionKeepsTheWindowPaintedUnderTheBusyCursor)
{
    Write("big", std::string(4u << 20, 'x'));  // sixteen writes of the overwrite
    page->BU_Dir1_Change();
    Queue({"big", "a"});
    Click(page->BU_lstFiles, 0);

    PaintCount count;
    page->installEventFilter(&count);
    ConfirmWatch confirm(tp.dialogs);
    // The box has gone: the part of the window it covered must be drawn again.
    confirm.afterConfirm = [&] {
        page->update();
        count.paints = 0;
    };
    tp.platform.dialogs = &confirm;
    SlowDisk disk;
    disk.writeMs = 50;
    int paintedBeforeFirstWrite = -1, paintedByTheEnd = -1, busyWrites = 0;
    bool shownMidway = false;
    disk.onWrite = [&](int write) {
        if (QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor)
            ++busyWrites;
        if (write == 0) {
            paintedBeforeFirstWrite = count.paints;
            count.paints = 0;
            page->update();  // something changes on the window while the file is written
            page->close();   // and the user asks to close it
        }
        if (write == 15) {
            paintedByTheEnd = count.paints;
            shownMidway = page->isVisible();
        }
    };
    tp.platform.files = &disk;
    Execute(MsgBoxAnswer::Yes);
    tp.platform.files = nullptr;
    tp.platform.dialogs = &tp.dialogs;

    EXPECT_GT(paintedBeforeFirstWrite, 0) << "the confirmation box stays drawn on the window";
    EXPECT_GT(paintedByTheEnd, 0) << "the window is not painted while the file is overwritten";
    EXPECT_EQ(busyWrites, disk.writes) << "every write under the busy cursor";
    EXPECT_EQ(disk.writes, 17) << "sixteen for the big file, one for the small";
    EXPECT_TRUE(shownMidway) << "the close came half way through a destruction";
    EXPECT_EQ(host.closes, 1) << "the close asked for comes once the queue is done";
    EXPECT_FALSE(fs::exists(Path("big")));
    EXPECT_FALSE(fs::exists(Path("a")));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(BleachPageTest, RefreshAndADoubleClickOnTheFolderShowFilesMadeSinceItWasOpened)
{
    ASSERT_EQ(Entries(page->BU_lstDirFiles), (std::vector<std::string>{"a", "b", "c"}));
    Write("d made later", "new");
    fs::remove(Path("b"));
    EXPECT_EQ(Entries(page->BU_lstDirFiles), (std::vector<std::string>{"a", "b", "c"})) << "no refill by itself";
    QTest::mouseClick(page->BU_cmdRefresh, Qt::LeftButton);
    EXPECT_EQ(Entries(page->BU_lstDirFiles), (std::vector<std::string>{"a", "c", "d made later"}));

    Write("e made later", "new");
    // The current folder is the last entry of the chain above its subfolders.
    int here = -1;
    for (int i = 0; i < page->BU_Dir1->count(); ++i)
        if (page->BU_Dir1->item(i)->data(FolderList::kPathRole).toByteArray().toStdString() == tree.string())
            here = i;
    ASSERT_GE(here, 0);
    Click(page->BU_Dir1, here);  // the first click of the double-click
    QTest::mouseDClick(page->BU_Dir1->viewport(), Qt::LeftButton, {},
                       page->BU_Dir1->visualItemRect(page->BU_Dir1->item(here)).center());
    EXPECT_EQ(page->BU_Dir1->Path(), tree.string());
    EXPECT_EQ(Entries(page->BU_lstDirFiles), (std::vector<std::string>{"a", "c", "d made later", "e made later"}));
    EXPECT_TRUE(tp.dialogs.boxes.empty());
}

TEST_F(BleachPageTest, TheFilesAreListedByNameAsTheFoldersAre)
{
    for (const char* name : {"zeta", "Beta", "_under", "alpha", "Alpha", "10", "9", "beta2"})
        Write(name, "x");
    for (const char* name : {"Zed", "apple", "Mid"})
        fs::create_directories(tree / name);
    page->BU_Dir1_Change();
    EXPECT_EQ(Entries(page->BU_lstDirFiles),
              (std::vector<std::string>{"10", "9", "_under", "a", "Alpha", "alpha", "b", "Beta", "beta2", "c", "zeta"}))
        << "by name, letter case aside (ASCII), capitals first between twins";
    QTest::mouseClick(page->BU_cmdRefresh, Qt::LeftButton);
    std::vector<std::string> folders;
    for (int i = 0; i < page->BU_Dir1->count(); ++i) {
        const std::string p = page->BU_Dir1->item(i)->data(FolderList::kPathRole).toByteArray().toStdString();
        if (p.size() > tree.string().size() && p.compare(0, tree.string().size(), tree.string()) == 0)
            folders.push_back(p.substr(tree.string().size() + 1));
    }
    EXPECT_EQ(folders, (std::vector<std::string>{"apple", "Mid", "sub", "Zed"}));
}

TEST_F(BleachPageTest, SelectedFileNamesNoFileThatWasDestroyed)
{
    // A file that survives its destruction stays named; one that is gone does not.
    Queue({"a", "b"});
    Click(page->BU_lstFiles, Row(page->BU_lstFiles, Path("a")));
    ASSERT_EQ(page->BU_txtFile->text().toStdString(), Path("a"));
    struct RefuseUnlink final : PosixFileCalls {
        std::string refused;
        int Unlink(const char* p) override
        {
            if (p == refused) {
                errno = EBUSY;
                return -1;
            }
            return PosixFileCalls::Unlink(p);
        }
    } calls;
    calls.refused = Path("a");
    tp.platform.files = &calls;
    Execute(MsgBoxAnswer::Yes);
    tp.platform.files = nullptr;
    EXPECT_TRUE(fs::exists(Path("a")));
    EXPECT_EQ(page->BU_txtFile->text().toStdString(), Path("a")) << "the file is still there";

    // Queued again and destroyed this time.
    page->BU_Dir1_Change();
    Queue({"a"});
    Click(page->BU_lstFiles, 0);
    Execute(MsgBoxAnswer::Yes);
    EXPECT_FALSE(fs::exists(Path("a")));
    EXPECT_EQ(page->BU_txtFile->text().toStdString(), "");
}
