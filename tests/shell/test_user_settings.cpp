// The per-user settings file: bytes written at exit, what the next start-up reads back.
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/TextFile.h"
#include "host/UserSettingsFile.h"
#include "support/KillPoints.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"
#include "support/Unprivileged.h"

using namespace brimlow;

namespace {

const std::string S = "\x01\r\n";  // a separator line

UserSettings Full()
{
    UserSettings s;
    s.tab = 3;
    s.protectedCookies = {"Cookie:tester@shop.example/", "Cookie:tester@bank.example/login/"};
    s.checkedScripts = {"Clear Browser.scr", "mail.scr"};
    s.delay = "750";
    s.bleachFolder = "/tmp";
    return s;
}

// `part` is the whole of `full`, or its last element is cut short.
bool CutShort(const std::vector<std::string>& part, const std::vector<std::string>& full)
{
    if (part.size() > full.size())
        return false;
    for (std::size_t i = 0; i < part.size(); ++i) {
        const bool last = i + 1 == part.size();
        if (last ? full[i].compare(0, part[i].size(), part[i]) != 0 : part[i] != full[i])
            return false;
    }
    return true;
}

bool CutShort(const std::optional<std::string>& part, const std::string& full)
{
    return !part || full.compare(0, part->size(), *part) == 0;
}

struct SettingsFixture : testing::Test {
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    SettingsFixture() { tp.platform.programFolder = dir.folder(); tp.platform.storeFolder = dir.storeFolder(); }
    ~SettingsFixture() override { ReleaseSelectedScripts(); }
};

}  // namespace

TEST(UserSettingsText, EmptyListsGiveElevenLines)
{
    UserSettings s;
    s.delay = "500";
    s.bleachFolder = "/home";
    EXPECT_EQ(UserSettingsText(s), "0\r\n" + S + S + S + S + S + "500\r\n" + S + S + "/home\r\n" + S);

    const auto back = ReadUserSettings(UserSettingsText(s));
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->protectedCookies.empty());
    EXPECT_TRUE(back->selectedScripts.empty());
    EXPECT_EQ(back->delay, "500");
    EXPECT_EQ(back->bleachFolder, "/home");
}

TEST(UserSettingsText, ListsAndTextsComeBackAsWritten)
{
    UserSettings s = Full();
    s.delay = "abc";  // written and restored as typed; Execute checks it
    s.protectedCookies.push_back("");  // an empty entry survives too
    const std::string text = UserSettingsText(s);
    EXPECT_EQ(text.substr(0, 5), "3\r\n" "\x01" "\r");
    const auto back = ReadUserSettings(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->protectedCookies, s.protectedCookies);
    EXPECT_EQ(back->selectedScripts, s.checkedScripts);
    EXPECT_EQ(back->delay, "abc");
    EXPECT_EQ(back->bleachFolder, "/tmp");
}

TEST(UserSettingsText, TheTabNumberDecidesWhetherAnythingIsRestored)
{
    struct Case {
        const char* tab;
        bool restored;
    } cases[] = {
        {"3", true}, {"0", true}, {"5", true}, {" 2 ", true}, {"-0.4", true}, {"5.4", true}, {"4.5", true},
        {"7", false}, {"6", false}, {"5.5", false}, {"-1", false}, {"abc", false}, {"", false},
        {"1e999", false},
    };
    const std::string rest = UserSettingsText(Full()).substr(3);  // after "3\r\n"
    for (const auto& c : cases) {
        const auto back = ReadUserSettings(std::string(c.tab) + "\r\n" + rest);
        EXPECT_EQ(back.has_value(), c.restored) << '"' << c.tab << '"';
        if (back) {
            EXPECT_EQ(back->protectedCookies, Full().protectedCookies);
        }
    }
    EXPECT_FALSE(ReadUserSettings(""));
}

TEST(UserSettingsText, AFileCutAtAnyByteRestoresWhatItHolds)
{
    const UserSettings full = Full();
    const std::string text = UserSettingsText(full);
    for (std::size_t n = 0; n <= text.size(); ++n) {
        const auto back = ReadUserSettings(std::string_view(text).substr(0, n));
        if (!back) {
            EXPECT_EQ(n, 0u) << "only an empty file is refused";
            continue;
        }
        EXPECT_TRUE(CutShort(back->protectedCookies, full.protectedCookies)) << n;
        EXPECT_TRUE(CutShort(back->selectedScripts, full.checkedScripts)) << n;
        EXPECT_TRUE(CutShort(back->delay, full.delay)) << n;
        EXPECT_TRUE(CutShort(back->bleachFolder, full.bleachFolder)) << n;
        if (back->bleachFolder) {
            EXPECT_EQ(back->protectedCookies, full.protectedCookies) << n;
            EXPECT_EQ(back->selectedScripts, full.checkedScripts) << n;
            EXPECT_EQ(back->delay, full.delay) << n;
        }
    }
    EXPECT_EQ(ReadUserSettings(text)->bleachFolder, full.bleachFolder);
}

TEST(UserSettingsFileName, LowerCasedLoginOrGlobalUser)
{
    EXPECT_EQ(SettingsUserPart("AliCe"), "alice");
    EXPECT_EQ(SettingsUserPart(""), "GlobalUser");
    const std::string longName(120, 'Q');  // more than any fixed buffer held
    EXPECT_EQ(SettingsUserPart(longName), std::string(120, 'q'));
}

TEST_F(SettingsFixture, SavedFileIsNamedForTheUserAndLoadsBack)
{
    tp.user.name = "AliCe";
    SaveUserSettings(tp.platform, Full());
    EXPECT_EQ(dir.Read("alice.dat"), UserSettingsText(Full()));
    EXPECT_EQ(textfile::FolderFiles(dir.folder()).size(), 1u) << "no temporary file is left behind";

    const auto load = LoadUserSettings(tp.platform);
    EXPECT_EQ(load.state, SettingsLoad::State::Restored);
    EXPECT_TRUE(load.mayReplace());
    const auto& back = load.restored;
    ASSERT_TRUE(back);
    EXPECT_EQ(back->protectedCookies, Full().protectedCookies);
    EXPECT_TRUE(IsScriptSelected("Clear Browser.scr"));
    EXPECT_TRUE(IsScriptSelected("CLEAR BROWSER.SCR")) << "keys ignore letter case";
    EXPECT_TRUE(IsScriptSelected("Mail.Scr"));
    EXPECT_FALSE(IsScriptSelected("other.scr"));
    ReleaseSelectedScripts();
    EXPECT_FALSE(IsScriptSelected("mail.scr"));

    tp.user.name = "";
    SaveUserSettings(tp.platform, UserSettings{});
    EXPECT_TRUE(dir.Exists("GlobalUser.dat"));
}

TEST_F(SettingsFixture, NoFileOrAnEmptyOneRestoresNothingAndMayBeReplaced)
{
    for (const bool empty : {false, true}) {
        if (empty)
            dir.Write("tester.dat", "");
        const auto load = LoadUserSettings(tp.platform);
        EXPECT_EQ(load.state, SettingsLoad::State::Missing);
        EXPECT_FALSE(load.restored);
        EXPECT_TRUE(load.mayReplace());
    }
}

// A file the start-up cannot read, or one that is no settings file, restores nothing and is
// never written over: it may be all that is left of the user's choices, or somebody else's.
TEST_F(SettingsFixture, AFileThatCannotBeReadIsKeptAndSaidWithItsPath)
{
    const std::string path = dir.file("tester.dat").string();
    struct Case {
        const char* what;
        std::function<void()> make;
        SettingsLoad::State state;
        std::string why;
    } cases[] = {
        {"another owner's file",
         [&] {
             dir.Write("tester.dat", UserSettingsText(Full()));
             ::chmod(path.c_str(), 0600);  // root's, and the test runs as nobody below
         },
         SettingsLoad::State::Unreadable, "permission denied"},
        {"a FIFO", [&] { ::mkfifo(path.c_str(), 0666); }, SettingsLoad::State::Unreadable,
         "not a regular file"},
        {"a tab number out of range",
         [&] { dir.Write("tester.dat", "7\r\n" + S + "Cookie:x@y/\r\n" + S + S + "mail.scr\r\n" + S); },
         SettingsLoad::State::Refused, "not a settings file"},
        {"text of another kind", [&] { dir.Write("tester.dat", "#!/bin/sh\nrm -rf ~/tmp\n"); },
         SettingsLoad::State::Refused, "not a settings file"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(path);
        c.make();
        SettingsLoad load;
        {
            test::Unprivileged user({{dir.root(), 0755}, {dir.folder(), 0777}});
            ASSERT_TRUE(user.ok());
            load = LoadUserSettings(tp.platform);
        }
        EXPECT_EQ(load.state, c.state) << c.what;
        EXPECT_FALSE(load.mayReplace()) << c.what;
        EXPECT_FALSE(IsScriptSelected("mail.scr")) << c.what;
        EXPECT_EQ(SettingsNotReadLogEntry(load), "ERROR: The settings could not be read (" + c.why + "): " + path + "\r\n")
            << c.what;
        EXPECT_EQ(SettingsNotReadMessage(load),
                  "The settings could not be read (" + c.why +
                      ").\r\nThis run starts with the usual settings and leaves that file as it is, so the choices "
                      "made in this run are not saved.\r\n\r\nSettings file: " + path)
            << c.what;
    }
}

TEST_F(SettingsFixture, ANameListedTwiceIsOneKey)
{
    dir.Write("tester.dat", "0\r\n" + S + S + S + "a.scr\r\nA.SCR\r\nb.scr\r\n" + S);
    const auto back = LoadUserSettings(tp.platform).restored;
    ASSERT_TRUE(back);
    EXPECT_TRUE(IsScriptSelected("a.scr"));
    EXPECT_TRUE(IsScriptSelected("B.scr"));
    EXPECT_FALSE(back->delay) << "the file ends before the delay";
}

TEST(BleachFolder, AMissingFolderOpensOnTheRoot)
{
    test::TempProgramFolder dir;
    EXPECT_EQ(BleachFolderToOpen(dir.folder().string()), dir.folder().string());
    EXPECT_EQ(BleachFolderToOpen((dir.folder() / "gone").string()), "/");
    EXPECT_EQ(BleachFolderToOpen(""), "/");
}

// What no line can hold is not written, so the rest reads back in its place: before, a
// protected entry that was the separator itself ended the list and shifted the delay and the
// folder, and a script name with a line end wrote a line of its own.
TEST(UserSettingsText, WhatNoLineCanHoldIsLeftOutAndTheRestReadsBackInPlace)
{
    UserSettings s = Full();
    s.tab = 9;
    s.protectedCookies = {"\x01", "Cookie:tester@a.example/", "Cookie:x\n\x01\n"};
    s.checkedScripts = {"two\nlines.scr", "mail.scr", "\x01"};
    s.delay = "\x01";  // a text that is the separator still fits its line
    s.bleachFolder = "/tmp/a\nb";
    const auto back = ReadUserSettings(UserSettingsText(s));
    ASSERT_TRUE(back) << "a tab number outside 0..5 is written as 0";
    EXPECT_EQ(back->protectedCookies, std::vector<std::string>{"Cookie:tester@a.example/"});
    EXPECT_EQ(back->selectedScripts, std::vector<std::string>{"mail.scr"});
    EXPECT_EQ(back->delay, "\x01");
    EXPECT_EQ(back->bleachFolder, "");
}

// The settings are written through a temporary file renamed over the old one: a kill at any
// file call of the save leaves the old settings or the new ones whole, and what it leaves
// beside them the next start sweeps away.
TEST_F(SettingsFixture, AKillAtAnyCallOfTheSaveLeavesTheOldSettingsOrTheNew)
{
    UserSettings before;
    before.delay = "50";
    before.protectedCookies = {"Cookie:tester@old.example/"};
    const std::string oldText = UserSettingsText(before);
    const std::string newText = UserSettingsText(Full());
    for (std::size_t k = 0;; ++k) {
        dir.Write("tester.dat", oldText);
        const auto outcome = test::RunKilledAtCall(k, [&](FileCalls& calls) {
            tp.platform.files = &calls;
            SaveUserSettings(tp.platform, Full());
        });
        const bool renamed = std::find(outcome.calls.begin(), outcome.calls.end(), "rename") != outcome.calls.end();
        EXPECT_EQ(dir.Read("tester.dat"), renamed ? newText : oldText) << "killed before call " << k;
        textfile::RemoveLeftTemporaryFiles(dir.folder());
        EXPECT_EQ(textfile::FolderFiles(dir.folder()).size(), 1u) << "killed before call " << k;
        if (!outcome.killed)
            break;
        ASSERT_LT(k, 50u);
    }
}
