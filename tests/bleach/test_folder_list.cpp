// The bleach utility's folder list on its own, on a temporary folder tree.
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

#include "bleach/FolderList.h"
#include "platform/Errors.h"
#include "support/TempProgramFolder.h"

using namespace brimlow;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Paths(const FolderList& list)
{
    std::vector<std::string> out;
    for (int i = 0; i < list.count(); ++i)
        out.push_back(list.item(i)->data(FolderList::kPathRole).toByteArray().toStdString());
    return out;
}

int RowOf(const FolderList& list, const std::string& path)
{
    const auto paths = Paths(list);
    const auto at = std::find(paths.begin(), paths.end(), path);
    return at == paths.end() ? -1 : static_cast<int>(at - paths.begin());
}

class FolderListTest : public testing::Test {
protected:
    test::TempProgramFolder dir;
    fs::path top = dir.root() / "top";
    FolderList list;
    void SetUp() override
    {
        fs::create_directories(top / "beta" / "deep");
        fs::create_directories(top / "Alpha");
        test::TempProgramFolder::WriteFile(top / "file.txt", "not a folder");
    }
};

}  // namespace

TEST_F(FolderListTest, ShowsTheChainFromTheRootThenTheSubfoldersAndRaisesOneChange)
{
    QSignalSpy changes(&list, &FolderList::pathChanged);
    list.SetPath(top.string() + "/");
    EXPECT_EQ(list.Path(), top.string());
    EXPECT_EQ(changes.count(), 1);

    std::vector<std::string> expected{"/"};
    for (fs::path p = top; p != p.root_path(); p = p.parent_path())
        expected.insert(expected.begin() + 1, p.string());
    expected.push_back((top / "Alpha").string());  // subfolders by name, letter case aside
    expected.push_back((top / "beta").string());
    EXPECT_EQ(Paths(list), expected);
    EXPECT_EQ(list.currentRow(), static_cast<int>(expected.size()) - 3) << "the current folder is the current entry";

    list.SetPath(top.string() + "/./");
    EXPECT_EQ(changes.count(), 1) << "the same folder again is no change";
    list.SetPath("/");
    EXPECT_EQ(Paths(list).front(), "/");
    EXPECT_EQ(changes.count(), 2);
}

TEST_F(FolderListTest, ActivatingAnEntryMovesThereUpOrDown)
{
    list.SetPath(top.string());
    QSignalSpy changes(&list, &FolderList::pathChanged);
    emit list.itemActivated(list.item(RowOf(list, (top / "beta").string())));
    EXPECT_EQ(list.Path(), (top / "beta").string());
    EXPECT_NE(RowOf(list, (top / "beta" / "deep").string()), -1);
    emit list.itemActivated(list.item(0));
    EXPECT_EQ(list.Path(), "/");
    EXPECT_EQ(changes.count(), 2);
}

TEST_F(FolderListTest, AFolderRemovedWhileShown)
{
    list.SetPath(top.string());
    QSignalSpy changes(&list, &FolderList::pathChanged);
    const int beta = RowOf(list, (top / "beta").string());
    fs::remove_all(top / "beta");
    emit list.itemActivated(list.item(beta));
    EXPECT_EQ(list.Path(), top.string()) << "a subfolder that has gone is not entered";
    EXPECT_EQ(RowOf(list, (top / "beta").string()), -1) << "and leaves the list";
    EXPECT_EQ(changes.count(), 0);

    // The current folder itself goes: the path stays, a refresh shows what is left.
    fs::remove_all(top);
    list.Refresh();
    EXPECT_EQ(list.Path(), top.string());
    EXPECT_EQ(Paths(list).back(), top.string());

    try {
        list.SetPath(top.string());
        FAIL() << "a missing folder was accepted";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::PathNotFound);
    }
    for (const char* bad : {"", "relative/path"}) {
        EXPECT_THROW(list.SetPath(bad), RuntimeError) << bad;
    }
    EXPECT_EQ(list.Path(), top.string());
    EXPECT_EQ(changes.count(), 0);
}
