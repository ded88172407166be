// The key-stroke token language, the key-sequence parser and the script files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/AtomicFile.h"
#include "platform/Errors.h"
#include "platform/SendKeys.h"
#include "platform/TextFile.h"
#include "scripts/MQuickCleanUp.h"
#include "scripts/MScriptEditor.h"
#include "support/KillPoints.h"
#include "support/TempProgramFolder.h"
#include "support/Unprivileged.h"

using namespace brimlow;

namespace {

struct KeyCase {
    int key;
    int mask;
    const char* tokens;
};

TEST(KeyToToken, RecordsModifiersInShiftAltCtrlOrderThenTheKey)
{
    const KeyCase cases[] = {
        {123, 0, "[F12]"},          {112, 0, "[F1]"},           {65, 1, "[SHIFT]a"},
        {65, 7, "[SHIFT][ALT][CTRL]a"}, {90, 0, "z"},           {186, 0, ""},
        {16, 1, "[SHIFT]"},         {17, 2, "[CTRL]"},          {18, 4, "[ALT]"},
        {103, 0, "7"},              {55, 0, "7"},               {96, 0, "0"},
        {105, 0, "9"},              {48, 0, "0"},               {8, 0, "[BKSP]"},
        {13, 0, "[ENTER]"},         {19, 0, "[PAUSE]"},         {27, 0, "[ESC]"},
        {32, 0, "[SPACE]"},         {33, 0, "[PGUP]"},          {34, 0, "[PGDWN]"},
        {35, 0, "[END]"},           {36, 0, "[HOME]"},          {37, 0, "[LEFT]"},
        {38, 0, "[UP]"},            {39, 0, "[RIGHT]"},         {40, 0, "[DOWN]"},
        {42, 0, "[PRINT]"},         {45, 0, "[INS]"},           {46, 0, "[DEL]"},
        {106, 0, "[MULTIPLY]"},     {107, 0, "[ADD]"},          {108, 0, "[SEPARATOR]"},
        {109, 0, "[SUBTRACT]"},     {110, 0, "[DECIMAL]"},      {111, 0, "[DIVIDE]"},
        {9, 0, ""},                 {20, 0, ""},                {91, 2, "[CTRL]"},
        {124, 0, ""},               {64, 0, ""},                {58, 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KeyToToken(c.key, c.mask), c.tokens) << "key " << c.key << " mask " << c.mask;
}

struct TranslateCase {
    const char* command;
    const char* keys;
};

TEST(TranslateCommand, FollowsTheTranslationTable)
{
    const TranslateCase cases[] = {
        {"abc", "abc"},
        {"[CTRL]c", "^(c)"},
        {"[ALT]f[ENTER]", "%(f{ENTER})"},
        {"[SHIFT][CTRL]s", "+(^s)"},
        {"a[CTRL]b", "^(ab)"},
        {"[SHIFT][SHIFT]a", "+(+a)"},
        {"[SHIFT][SHIFT]ab", "+(+ab)"},
        {"[TAB][TAB][SPACE]", "{TAB}{TAB} "},
        {"[SEPARATOR]", ""},
        {"[F12]", "{F12}"},
        {"[SHIFT][ALT][CTRL]a", "+(%^a)"},
        {"[Ctrl]c", "c"},
        {"[ADD]", "{ADD}"},
        {"[MULTIPLY][SUBTRACT][DECIMAL][DIVIDE]", "*-./"},
        {"[BKSP][ESC][PGUP][PGDWN][END][HOME]", "{BKSP}{ESC}{PGUP}{PGDN}{END}{HOME}"},
        {"[LEFT][UP][RIGHT][DOWN][PRINT][INS][DEL]", "{LEFT}{UP}{RIGHT}{DOWN}{PRTSC}{INS}{DEL}"},
        {"[F0][F13][F01]Ab!", "b"},
        {"[ALT]", "%)"},
        {"[ALT][CTRL]", "%(^)"},
        {"", ""},
        // An unclosed bracket runs to the end of the command and sends nothing.
        {"ab[TAB", "ab"},
        {"[CTRL]x[ENTER", "^(x)"},
        {"[", ""},
        {"[PAUSE]5", "[PAUSE]5"},
        {"abc[PAUSE]5", "abc[PAUSE]5"},
        {"[PAUSE]x", "[PAUSE]x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TranslateCommand(c.command), c.keys) << c.command;
}

TEST(TranslateCommand, LongCommandsHaveNoLimit)
{
    // 25 tokens: more than the 11 and 21 token slots of the first two sizes.
    const std::string letters = "abcdefghijklmnopqrstuvwxy";
    EXPECT_EQ(TokenizeCommand(letters).size(), 25u);
    EXPECT_EQ(TranslateCommand(letters), letters);
    // Beyond the 16-bit positions and token counts.
    std::string longCommand;
    for (int i = 0; i < 40000; ++i)
        longCommand += "[TAB]";
    std::string expected;
    for (int i = 0; i < 40000; ++i)
        expected += "{TAB}";
    EXPECT_EQ(TokenizeCommand(longCommand).size(), 40000u);
    EXPECT_EQ(TranslateCommand(longCommand), expected);
}

TEST(CompileScript, LeavesOutCommandsThatTranslateToNothing)
{
    EXPECT_EQ(CompileScript({"a", "", "[SEPARATOR]", "[PAUSE]2", "[Ctrl]", "[ENTER]"}),
              (std::vector<std::string>{"a", "[PAUSE]2", "{ENTER}"}));
    EXPECT_TRUE(CompileScript({"", "[SEPARATOR]"}).empty());
    EXPECT_TRUE(CompileScript({}).empty());
}

TEST(ParsePause, TakesSecondsOnlyWhenTheRestIsANumber)
{
    struct Case {
        const char* entry;
        bool ok;
        double seconds;
    };
    const Case cases[] = {{"[PAUSE]5", true, 5},    {"[PAUSE]0", true, 0},   {"[PAUSE]-3", true, -3},
                          {"[PAUSE]1.5", true, 1.5}, {"[PAUSE] 2 ", true, 2}, {"[PAUSE]", false, 0},
                          {"[PAUSE]x", false, 0},   {"[PAUSE]5s", false, 0}, {"abc[PAUSE]5", false, 0},
                          {"[PAUSE].", false, 0},   {"[pause]5", false, 0}};
    for (const auto& c : cases) {
        double s = -99;
        EXPECT_EQ(ParsePause(c.entry, s), c.ok) << c.entry;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(s, c.seconds) << c.entry;
        }
    }
}

TEST(ParseSendKeys, TurnsSequencesIntoPressesAndReleases)
{
    const TranslateCase cases[] = {
        {"abc", "+a -a +b -b +c -c"},
        {"^(c)", "+CTRL +c -c -CTRL"},
        {"^c", "+CTRL +c -c -CTRL"},
        {"^cd", "+CTRL +c -c -CTRL +d -d"},
        {"%(f{ENTER})", "+ALT +f -f +ENTER -ENTER -ALT"},
        {"+(^s)", "+SHIFT +CTRL +s -s -CTRL -SHIFT"},
        {"+(%^a)", "+SHIFT +ALT +CTRL +a -a -CTRL -ALT -SHIFT"},
        // The Shift held for the group is not pressed again for the key inside it.
        {"+(+a)", "+SHIFT +a -a -SHIFT"},
        {"{TAB}{TAB} ", "+TAB -TAB +TAB -TAB +  - "},
        {"{F12}", "+F12 -F12"},
        {"{f5}", "+F5 -F5"},
        {"{ADD}", "+ADD -ADD"},
        {"{TAB 3}", "+TAB -TAB +TAB -TAB +TAB -TAB"},
        {"+{TAB 2}", "+SHIFT +TAB -TAB +TAB -TAB -SHIFT"},
        {"{a 2}", "+a -a +a -a"},
        {"{TAB 0}x", "+x -x"},
        {"{TAB 99999}x", "+x -x"},
        {"{+}{%}{^}{(}{)}{~}{{}{}}", "++ -+ +% -% +^ -^ +( -( +) -) +~ -~ +{ -{ +} -}"},
        {"~", "+ENTER -ENTER"},
        {"a~b", "+a -a +ENTER -ENTER +b -b"},
        {"{BS}{BACKSPACE}{BKSP}{DELETE}{INSERT}{ESCAPE}",
         "+BKSP -BKSP +BKSP -BKSP +BKSP -BKSP +DEL -DEL +INS -INS +ESC -ESC"},
        // Modifiers with nothing after them are tapped.
        {"%)", "+ALT -ALT"},
        {"%(^)", "+ALT +CTRL -CTRL -ALT"},
        {"%", "+ALT -ALT"},
        // A stray ")" is dropped and the rest is sent.
        {"a)b", "+a -a +b -b"},
        {"^(c))d", "+CTRL +c -c -CTRL +d -d"},
        // An unclosed group ends with the sequence; an unknown name or an open brace sends nothing.
        {"+(ab", "+SHIFT +a -a +b -b -SHIFT"},
        {"a{NOSUCH}b", "+a -a +b -b"},
        {"^{NOSUCH}b", "+b -b"},
        {"a{TAB", "+a -a"},
        {"{}", ""},
        {"", ""},
        {"\xc3\xa9", "+\xc3\xa9 -\xc3\xa9"},
        {"\xc3", "+\xc3 -\xc3"},
        {"[PAUSE]x", "+[ -[ +P -P +A -A +U -U +S -S +E -E +] -] +x -x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DescribeKeyEvents(ParseSendKeys(c.command)), c.keys) << c.command;
}

TEST(ParseSendKeys, EveryPressIsReleasedInReverseOrder)
{
    for (const char* seq : {"+(^(%a", "((((", "))))+", "+^%", "+(+(+(a)))", "%(^(+x)y)z"}) {
        std::vector<std::string> held;
        for (const KeyEvent& e : ParseSendKeys(seq)) {
            if (e.down) {
                held.push_back(e.key);
            } else {
                ASSERT_FALSE(held.empty()) << seq;
                EXPECT_EQ(held.back(), e.key) << seq;
                held.pop_back();
            }
        }
        EXPECT_TRUE(held.empty()) << seq;
    }
}

// ---- script files ----

TEST(ScriptFile, SaveWritesTheLayoutWithCrLf)
{
    const ScriptFile s{"/usr/bin/x", "", {"a", "[ENTER]"}};
    EXPECT_EQ(ScriptFileBytes(s), "/usr/bin/x\r\n\x01\r\n\r\n\x01\r\na\r\n[ENTER]\r\n");
}

TEST(ScriptFile, SaveThenLoadRoundTripsByteForByte)
{
    test::TempProgramFolder dir;
    // Target, fence, a one-line description, fence, "[ALT]t", "[PAUSE]2".
    const std::string six = "/opt/app/run\r\n\x01\r\nClears the history.\r\n\x01\r\n[ALT]t\r\n[PAUSE]2\r\n";
    dir.Write("six.scr", six);
    const ScriptFileRead r = ReadScriptFile(dir.file("six.scr"));
    EXPECT_EQ(r.shape, ScriptFileShape::Complete);
    EXPECT_EQ(r.script.target, "/opt/app/run");
    EXPECT_EQ(r.script.description, "Clears the history.");
    EXPECT_EQ(r.script.commands, (std::vector<std::string>{"[ALT]t", "[PAUSE]2"}));
    WriteScriptFile(dir.file("again.scr"), r.script);
    EXPECT_EQ(dir.Read("again.scr"), six);

    // Descriptions of several lines, empty lines and a trailing line break, and empty commands.
    for (const ScriptFile& s : {ScriptFile{"t", "one\r\n\r\nthree", {"", "a", ""}}, ScriptFile{"t", "ends\r\n", {}},
                                ScriptFile{"", "", {""}}}) {
        const ScriptFileRead back = ParseScriptFile(ScriptFileBytes(s));
        EXPECT_EQ(back.shape, ScriptFileShape::Complete);
        EXPECT_EQ(back.script.target, s.target);
        EXPECT_EQ(back.script.description, s.description);
        EXPECT_EQ(back.script.commands, s.commands);
        EXPECT_EQ(ScriptFileBytes(back.script), ScriptFileBytes(s));
    }

    // Saving over a longer file replaces it completely.
    dir.Write("long.scr", std::string(5000, 'x'));
    WriteScriptFile(dir.file("long.scr"), r.script);
    EXPECT_EQ(dir.Read("long.scr"), six);
}

TEST(ScriptFile, ReadersTakeEveryShape)
{
    struct Case {
        const char* name;
        std::string bytes;
        ScriptFileShape shape;
        std::string target;
        std::string description;
        std::vector<std::string> commands;
    };
    const Case cases[] = {
        {"no fences", "C:\\x.exe\r\na\r\nb\r\n", ScriptFileShape::Complete, "C:\\x.exe", "", {"a", "b"}},
        {"LF only", "t\n\x01\nd\n\x01\na\n", ScriptFileShape::Complete, "t", "d", {"a"}},
        {"no last line end", "t\r\n\x01\r\n\x01\r\na", ScriptFileShape::Complete, "t", "", {"a"}},
        {"empty line after the fence", "t\r\n\x01\r\n\r\n\x01\r\n\r\na\r\n", ScriptFileShape::Complete, "t", "",
         {"", "a"}},
        {"fences only", "t\r\n\x01\r\n\x01\r\n", ScriptFileShape::Complete, "t", "", {}},
        {"empty file", "", ScriptFileShape::TooShort, "", "", {}},
        {"target only", "t\r\n", ScriptFileShape::TooShort, "t", "", {}},
        {"open fence", "t\r\n\x01\r\nd1\r\nd2\r\n", ScriptFileShape::OpenFence, "t", "d1\r\nd2", {}},
        {"open fence at the end", "t\r\n\x01\r\n", ScriptFileShape::OpenFence, "t", "", {}},
        {"fence with a blank is a command", "t\r\n\x01 \r\na\r\n", ScriptFileShape::Complete, "t", "",
         {"\x01 ", "a"}},
        {"CR inside a line is kept", "t\r\na\rb\r\n", ScriptFileShape::Complete, "t", "", {"a\rb"}},
        {"a CR before the line end is the command's", "t\r\na\r\r\nb\n\nc\r", ScriptFileShape::Complete, "t",
         "", {"a\r", "b", "", "c\r"}},
    };
    for (const auto& c : cases) {
        const ScriptFileRead r = ParseScriptFile(c.bytes);
        EXPECT_EQ(r.shape, c.shape) << c.name;
        EXPECT_EQ(r.script.target, c.target) << c.name;
        EXPECT_EQ(r.script.description, c.description) << c.name;
        EXPECT_EQ(r.script.commands, c.commands) << c.name;
        // The editor's list takes the same commands out of the file's own buffer.
        EXPECT_EQ(ScriptText(c.bytes).TakeCommands().ToStrings(), c.commands) << c.name;
    }
}

TEST(ScriptFile, TheEditorsCommandListEditsInPlace)
{
    CommandList list = ScriptText("t\r\nb\r\nd\r\n").TakeCommands();
    list.Insert(0, "a");
    list.Insert(2, "");
    list.Insert(3, "c\r\n");
    list.Append("e");
    EXPECT_EQ(list.ToStrings(), (std::vector<std::string>{"a", "b", "", "c\r\n", "d", "e"}));
    list.Remove(3);
    list.Remove(0);
    list.Remove(9);  // beyond the list: nothing
    EXPECT_EQ(list.ToStrings(), (std::vector<std::string>{"b", "", "d", "e"}));
    EXPECT_EQ(list[3], "e");
    EXPECT_EQ(list[4], "");
    list.Clear();
    EXPECT_TRUE(list.empty());
}

// A kill at any call of a save leaves the old script or the new one, whole; what it leaves
// beside them is never taken for a script, and the start-up sweep takes it away.
TEST(ScriptFile, AKillAtAnyCallOfASaveLeavesTheOldScriptOrTheNew)
{
    test::TempProgramFolder dir;
    const std::string oldBytes = "/usr/bin/old\r\n\x01\r\nThe old one.\r\n\x01\r\n[ALT]o\r\n";
    const ScriptFile next{"/usr/bin/new", "The new one.", std::vector<std::string>(20000, "[CTRL]n")};
    const std::string newBytes = ScriptFileBytes(next);
    bool sawLeftover = false;
    for (std::size_t k = 0;; ++k) {
        dir.Write("clean.scr", oldBytes);
        const auto outcome =
            test::RunKilledAtCall(k, [&](FileCalls& calls) { WriteScriptFile(dir.file("clean.scr"), next, &calls); });
        const bool renamed = std::find(outcome.calls.begin(), outcome.calls.end(), "rename") != outcome.calls.end();
        EXPECT_EQ(dir.Read("clean.scr"), renamed ? newBytes : oldBytes) << "killed before call " << k;
        for (const auto& f : textfile::FolderFiles(dir.folder())) {
            if (f.name == "clean.scr")
                continue;
            sawLeftover = true;
            EXPECT_FALSE(IsScriptFileName(f.name)) << f.name << " would be listed as a script";
            EXPECT_EQ(test::TempProgramFolder::ModeOf(f.path), 0600u) << f.name;
        }
        textfile::RemoveLeftTemporaryFiles(dir.folder());
        ASSERT_EQ(textfile::FolderFiles(dir.folder()).size(), 1u) << "killed before call " << k;
        if (!outcome.killed) {
            EXPECT_EQ(dir.Read("clean.scr"), newBytes);
            break;
        }
        ASSERT_LT(k, 50u);
    }
    EXPECT_TRUE(sawLeftover) << "a kill between the temporary file and the rename leaves it";
}

// A script may live in any folder, where no start-up sweeps: its next save takes away what a
// killed save of that very script left, and nothing else.
TEST(ScriptFile, ASaveTakesAwayWhatAKilledSaveOfTheSameScriptLeft)
{
    test::TempProgramFolder dir;
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string mine = ".clean.scr.tmp-" + std::to_string(gone) + "-Ab12Cd";
    const std::string others = ".notes.txt.tmp-" + std::to_string(gone) + "-Ab12Cd";
    dir.Write(mine, "half a script");
    dir.Write(others, "half a note");
    WriteScriptFile(dir.file("clean.scr"), ScriptFile{"t", "", {"a"}});
    EXPECT_FALSE(dir.Exists(mine));
    EXPECT_TRUE(dir.Exists(others));
    EXPECT_EQ(dir.Read("clean.scr"), "t\r\n\x01\r\n\r\n\x01\r\na\r\n");
}

// What a save may not replace is refused as opening it for writing was, and stays as it was.
TEST(ScriptFile, ASaveRefusesLinksFifosFoldersAndReadOnlyScripts)
{
    test::TempProgramFolder dir;
    const ScriptFile s{"t", "", {"a"}};
    const auto numberOf = [&](const std::string& name) {
        try {
            WriteScriptFile(dir.file(name), s);
        } catch (const RuntimeError& e) {
            return e.number();
        }
        return 0;
    };
    dir.Write("target.txt", "precious");
    std::filesystem::create_symlink(dir.file("target.txt"), dir.file("link.scr"));
    ASSERT_EQ(::mkfifo(dir.file("pipe.scr").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.file("folder.scr"));
    EXPECT_EQ(numberOf("link.scr"), err::PathFileAccess);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.scr")));
    EXPECT_EQ(dir.Read("target.txt"), "precious");
    EXPECT_EQ(numberOf("pipe.scr"), err::PathFileAccess);
    EXPECT_EQ(numberOf("folder.scr"), err::PathFileAccess);

    dir.Write("locked.scr", "kept\r\n");
    {
        test::Unprivileged user({{dir.root(), 0777}, {dir.folder(), 0777}, {dir.file("locked.scr"), 0444}});
        ASSERT_TRUE(user.ok());
        EXPECT_EQ(numberOf("locked.scr"), err::PermissionDenied);
    }
    EXPECT_EQ(dir.Read("locked.scr"), "kept\r\n");
    EXPECT_EQ(textfile::FolderFiles(dir.folder()).size(), 3u) << "no temporary file is left";
}

}  // namespace
