// The registry read and the start of the system information tool behind the about box.
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/Errors.h"
#include "shell/MAboutBox.h"
#include "support/ScopedEnv.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;

namespace {

RegistryValue Sz(const std::string& s) { return {kRegSz, s}; }

}  // namespace

TEST(GetKeyValue, TurnsStoredBytesIntoText)
{
    struct Case {
        const char* what;
        std::optional<RegistryValue> stored;
        bool ok;
        std::string text;
        std::string before = "before";
    };
    const std::string full(1024, 'p');
    const Case cases[] = {
        {"string with its NUL", Sz(std::string("/usr/bin/tool\0", 14)), true, "/usr/bin/tool"},
        {"string without a NUL", Sz("/usr/bin/tool"), true, "/usr/bin/tool"},
        {"buffer filled exactly, no NUL", Sz(full), true, full},
        {"larger than the buffer", Sz(full + std::string(1, '\0')), false, ""},
        {"missing", std::nullopt, false, ""},
        {"DWORD 0x1A", RegistryValue{kRegDword, std::string("\x1A\0\0\0", 4)}, true, "26", ""},
        {"DWORD 0x01020304", RegistryValue{kRegDword, std::string("\x04\x03\x02\x01", 4)}, true, "4660", ""},  // digits without leading zeros: "1234"
        {"other type", RegistryValue{3, std::string("ab", 2)}, true, "before"},
    };
    for (const Case& c : cases) {
        test::TestPlatform tp;
        if (c.stored)
            tp.registry.entries.push_back({"K", "V", *c.stored});
        std::string val = c.before;
        EXPECT_EQ(GetKeyValue(tp.platform, kHKeyLocalMachine, "K", "V", val), c.ok) << c.what;
        EXPECT_EQ(val, c.text) << c.what;
    }
}

TEST(GetKeyValue, ValueWithoutDataIsARuntimeFailure)
{
    test::TestPlatform tp;
    tp.registry.entries.push_back({"K", "V", Sz("")});
    std::string val;
    EXPECT_THROW(GetKeyValue(tp.platform, kHKeyLocalMachine, "K", "V", val), RuntimeError);
}

class SysInfo : public ::testing::Test {
protected:
    void SetUp() override { tp.platform.programFolder = dir.folder(); }
    void ExpectUnavailable()
    {
        ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
        EXPECT_EQ(tp.dialogs.boxes[0].text, "System Information Is Unavailable At This Time");
        EXPECT_EQ(tp.dialogs.boxes[0].title, "Brimlow");
        EXPECT_EQ(tp.dialogs.boxes[0].buttons, MsgBoxButtons::Ok);
    }
    test::TempProgramFolder dir;
    test::TestPlatform tp;
};

TEST_F(SysInfo, FirstLocationIsStartedAsReadWithoutAFileTest)
{
    tp.registry.entries.push_back({kSysInfoKey, kSysInfoValue, Sz(std::string("/no/such/tool\0", 14))});
    StartSysInfo(tp.platform);
    EXPECT_EQ(tp.starter.started, (std::vector<std::string>{"/no/such/tool"}));
    EXPECT_TRUE(tp.dialogs.boxes.empty());
}

TEST_F(SysInfo, SecondLocationNeedsTheToolInItsFolder)
{
    tp.registry.entries.push_back({kSysInfoLocationKey, kSysInfoLocationValue, Sz(dir.folder().string())});
    StartSysInfo(tp.platform);
    EXPECT_TRUE(tp.starter.started.empty());
    ExpectUnavailable();

    tp.dialogs.boxes.clear();
    dir.Write("msinfo32.exe", "");  // found without regard to letter case
    StartSysInfo(tp.platform);
    EXPECT_EQ(tp.starter.started, (std::vector<std::string>{(dir.folder() / "msinfo32.exe").string()}));
    EXPECT_TRUE(tp.dialogs.boxes.empty());
}

TEST_F(SysInfo, NothingToStartShowsTheMessage)
{
    StartSysInfo(tp.platform);  // neither location
    ExpectUnavailable();

    tp.dialogs.boxes.clear();
    tp.registry.entries.push_back({kSysInfoKey, kSysInfoValue, Sz("")});  // no data at all
    StartSysInfo(tp.platform);
    ExpectUnavailable();

    tp.dialogs.boxes.clear();
    tp.registry.entries = {{kSysInfoKey, kSysInfoValue, Sz("/bin/true")}};
    tp.starter.startable = false;  // the program does not start
    StartSysInfo(tp.platform);
    ExpectUnavailable();
}

TEST(SystemRegistry, AnswersTheFirstSystemToolOnThePath)
{
    test::TempProgramFolder dir;
    test::ScopedEnv env;
    dir.Write("gnome-system-monitor", "#!/bin/sh\n");
    dir.Write("kinfocenter", "#!/bin/sh\n");
    dir.Write("hardinfo", "not executable\n");
    ::chmod(dir.file("gnome-system-monitor").c_str(), 0755);
    ::chmod(dir.file("kinfocenter").c_str(), 0755);
    env.Set("PATH", dir.folder().string());
    SystemRegistry reg;
    auto v = reg.QueryValue(kHKeyLocalMachine, "software\\microsoft\\shared tools\\msinfo", "Path");
    auto second = reg.QueryValue(kHKeyLocalMachine, kSysInfoLocationKey, kSysInfoLocationValue);
    env.Set("PATH", (dir.root() / "empty").string());
    auto none = reg.QueryValue(kHKeyLocalMachine, kSysInfoKey, kSysInfoValue);

    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->type, kRegSz);
    EXPECT_EQ(v->data, dir.file("kinfocenter").string() + std::string(1, '\0'));
    EXPECT_FALSE(second.has_value());
    EXPECT_FALSE(none.has_value());
}
