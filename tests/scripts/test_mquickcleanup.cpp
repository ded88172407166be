#include <gtest/gtest.h>

#include "host/UserSettingsFile.h"
#include "scripts/MQuickCleanUp.h"

using namespace brimlow;

TEST(CleanupLists, ProtectedSourcesStayOutAndGoneOnesAreDropped)
{
    const std::vector<std::string> dump{"Cookie:u@a/", "Cookie:u@b/", "Cookie:u@c/", "Cookie:u@a/"};
    const auto lists = RebuildCleanupCookieLists(dump, {"Cookie:u@b/", "Cookie:u@gone/", "", "Cookie:u@gone2/"});
    EXPECT_EQ(lists.toDelete, (std::vector<std::string>{"Cookie:u@a/", "Cookie:u@c/", "Cookie:u@a/"}));
    // Two gone entries side by side both go; an empty entry stays.
    EXPECT_EQ(lists.protect, (std::vector<std::string>{"Cookie:u@b/", ""}));
    // Compares are exact.
    EXPECT_EQ(RebuildCleanupCookieLists({"Cookie:u@A/"}, {"Cookie:u@a/"}).toDelete.size(), 1u);

    // A dump that did not load healthy (the store unreadable, damaged or busy, the dump cut
    // short) cannot tell that a source has gone: every protected entry stays, and those it
    // does list are still kept out of the deletion.
    const auto unhealthy =
        RebuildCleanupCookieLists({"Cookie:u@b/", "Cookie:u@c/"}, {"Cookie:u@b/", "Cookie:u@gone/", ""}, false);
    EXPECT_EQ(unhealthy.protect, (std::vector<std::string>{"Cookie:u@b/", "Cookie:u@gone/", ""}));
    EXPECT_EQ(unhealthy.toDelete, std::vector<std::string>{"Cookie:u@c/"});
    EXPECT_EQ(RebuildCleanupCookieLists({}, {"Cookie:u@b/"}, false).protect, std::vector<std::string>{"Cookie:u@b/"});
}

TEST(CleanupLists, ScriptFilesEndInLowerCaseScr)
{
    EXPECT_TRUE(IsScriptFileName("x.scr"));
    EXPECT_TRUE(IsScriptFileName(".scr"));
    EXPECT_FALSE(IsScriptFileName("X.SCR"));
    EXPECT_FALSE(IsScriptFileName("x.Scr"));
    EXPECT_FALSE(IsScriptFileName("x.scr.txt"));
    EXPECT_FALSE(IsScriptFileName("scr"));
}

// Every name taken for a script comes back from the settings file as it was checked; a name
// no line can hold is not taken at all, rather than come back as another name.
TEST(CleanupLists, EveryScriptNameTakenRoundTripsThroughTheSettingsFile)
{
    const struct {
        std::string name;
        bool taken;
    } cases[] = {
        {"a\x01" "b.scr", true}, {"\x01.scr", true},  {"a\rb.scr", true},       {"caf\xe9.scr", true},
        {"\r.scr", true},       {"a\nb.scr", false}, {"a\r\nb.scr", false}, {"\n.scr", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsScriptFileName(c.name), c.taken) << c.name;
        UserSettings s;
        s.checkedScripts = {"before.scr", c.name, "after.scr"};
        const auto back = ReadUserSettings(UserSettingsText(s));
        ASSERT_TRUE(back.has_value()) << c.name;
        const std::vector<std::string> all{"before.scr", c.name, "after.scr"};
        const std::vector<std::string> without{"before.scr", "after.scr"};
        EXPECT_EQ(back->selectedScripts, c.taken ? all : without) << c.name;
    }
}

TEST(Delay, TheCasesOfExecute)
{
    struct Case {
        const char* text;
        DelayCheck check;
        int interval;
    } cases[] = {
        {"abc", DelayCheck::NotNumeric, 0}, {"", DelayCheck::NotNumeric, 0},
        {"0", DelayCheck::OutOfRange, 0},   {"0.5", DelayCheck::OutOfRange, 0},
        {"10000.4", DelayCheck::OutOfRange, 0}, {"-3", DelayCheck::OutOfRange, 0},
        {"1", DelayCheck::Ok, 1},           {"10000", DelayCheck::Ok, 10000},
        {"1.5", DelayCheck::Ok, 2},         {"2.5", DelayCheck::Ok, 2},
        {" 500 ", DelayCheck::Ok, 500},     {"1e999", DelayCheck::OutOfRange, 0},
    };
    for (const auto& c : cases) {
        const DelayResult r = CheckDelay(c.text);
        EXPECT_EQ(r.check, c.check) << c.text;
        if (c.check == DelayCheck::Ok) {
            EXPECT_EQ(r.intervalMs, c.interval) << c.text;
        }
    }
}
