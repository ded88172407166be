#include <gtest/gtest.h>

#include "bleach/MBleachUtility.h"
#include "platform/Errors.h"

using namespace brimlow;

namespace {

int ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace

TEST(DestructionList, KeysMeetWithoutRegardToLetterCase)
{
    DestructionList list;
    list.AddToDestructionList("/Temp/A.TXT");
    list.AddToDestructionList("/data/Caf\xC3\x89.txt");  // UTF-8 E acute, capital
    list.AddToDestructionList("/data/Caf\xC9-l1.txt");     // Latin-1 E acute, capital
    const struct {
        const char* path;
        bool queued;
    } cases[] = {
        {"/temp/a.txt", true},
        {"/TEMP/A.TXT", true},
        {"/Temp/A.TXT", true},
        {"/temp/a.txt ", false},
        {"/temp/b.txt", false},
        {"/data/caf\xC3\xA9.TXT", true},  // UTF-8 e acute
        {"/data/caf\xE9-L1.txt", true},   // Latin-1 e acute
        {"/data/caf\xE9.txt", false},     // the Latin-1 bytes are another name than the UTF-8 ones
        {"/data/caf\xC3\x97.txt", false},  // the multiplication sign is no capital
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(list.NotInDestructionList(c.path), !c.queued) << c.path;
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(list.Items(), (std::vector<std::string>{"/Temp/A.TXT", "/data/Caf\xC3\x89.txt", "/data/Caf\xC9-l1.txt"}));
}

TEST(DestructionList, DuplicatesAndAbsentKeysAreRefused)
{
    DestructionList list;
    list.AddToDestructionList("/Temp/A.TXT");
    EXPECT_EQ(ErrorOf([&] { list.AddToDestructionList("/temp/a.txt"); }), 457);
    EXPECT_EQ(list.Items(), (std::vector<std::string>{"/Temp/A.TXT"})) << "the refused path changes nothing";
    EXPECT_EQ(ErrorOf([&] { list.RemoveFromDestructionList("/temp/b.txt"); }), 5);
    EXPECT_EQ(ErrorOf([&] { list.RemoveFromDestructionList("/TEMP/a.txt"); }), 0);
    EXPECT_TRUE(list.NotInDestructionList("/Temp/A.TXT"));
    EXPECT_EQ(ErrorOf([&] { list.RemoveFromDestructionList("/Temp/A.TXT"); }), 5);
    EXPECT_EQ(list.size(), 0u);
}

TEST(DestructionList, HoldsAnyNumberOfPaths)
{
    DestructionList list;
    const int n = 100000;  // far past a 16-bit count
    for (int i = 0; i < n; ++i)
        list.AddToDestructionList("/Folder/File" + std::to_string(i) + ".DAT");
    EXPECT_EQ(list.size(), static_cast<std::size_t>(n));
    for (int i = 0; i < n; i += 997)
        EXPECT_FALSE(list.NotInDestructionList("/folder/file" + std::to_string(i) + ".dat"));
    for (int i = 0; i < n; ++i)
        list.RemoveFromDestructionList("/FOLDER/FILE" + std::to_string(i) + ".dat");
    EXPECT_EQ(list.size(), 0u);
}

TEST(DestructionList, TheProgramHasOneSetAndReleasingItEmptiesIt)
{
    DestructionList& list = TheDestructionList();
    list.Clear();
    list.AddToDestructionList("/x/Y.txt");
    EXPECT_EQ(&TheDestructionList(), &list);
    EXPECT_FALSE(TheDestructionList().NotInDestructionList("/X/y.TXT"));
    TheDestructionList().Clear();
    EXPECT_TRUE(TheDestructionList().NotInDestructionList("/x/Y.txt"));
    TheDestructionList().AddToDestructionList("/x/Y.txt");  // a fresh empty set after the release
    TheDestructionList().Clear();
}
