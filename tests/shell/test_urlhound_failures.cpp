// A run of UrlHound that fails is said once, in plain words, with where it failed: the real
// runner, the real tool and a store broken in each way, in a program folder of its own.
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>

#include "host/UrlHoundStatus.h"
#include "host/MActivityReport.h"
#include "host/MRunUrlHound.h"
#include "platform/TextFile.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;
namespace fs = std::filesystem;

namespace {

struct Said {
    std::size_t boxes = 0;
    std::string text;
    std::string log;
};

class UrlHoundFailures : public testing::Test {
protected:
    void SetUp() override { tp.platform.programFolder = dir.folder(); tp.platform.storeFolder = dir.storeFolder(); }
    Said Run(bool cookieOnly = false)
    {
        tp.dialogs.boxes.clear();
        RunUrlHound(tp.platform, cookieOnly);
        Said said;
        said.boxes = tp.dialogs.boxes.size();
        if (!tp.dialogs.boxes.empty()) {
            said.text = tp.dialogs.boxes.back().text;
            EXPECT_EQ(tp.dialogs.boxes.back().title, "Brimlow");
            EXPECT_EQ(tp.dialogs.boxes.back().buttons, MsgBoxButtons::Ok);
        }
        said.log = ReadActivityLog(tp.platform);
        return said;
    }
    // A stand-in for UrlHound that ends with `status`.
    void ToolEndingWith(int status)
    {
        dir.Write(kUrlHoundName, "#!/bin/sh\nexit " + std::to_string(status) + "\n");
        ::chmod(dir.file(kUrlHoundName).c_str(), 0755);
    }
    test::TempProgramFolder dir;
    test::TestPlatform tp;
};

}  // namespace

TEST_F(UrlHoundFailures, EachFailureHasItsOwnMessageAndLogLineThatSayWhere)
{
    const std::string store = dir.storeFolder().string();
    const std::string program = dir.folder().string();
    struct Case {
        const char* name;
        std::function<void()> prepare;
        std::string says;   // in the message
        std::string where;  // in the message and in the log line
    };
    const std::vector<Case> cases = {
        {"UrlHound missing", [] {}, "could not be started", program},
        {"no store", [&] { dir.WithUrlHound(); }, "There is no Internet cache store", store},
        {"damaged store",
         [&] {
             dir.WithUrlHound();
             fs::create_directories(dir.storeFolder());
             textfile::WriteAll(dir.storeFolder() / "index.sqlite", std::string(4096, 'Z'));
         },
         "is damaged", store},
        {"newer store",
         [&] {
             dir.WithUrlHound();
             test::SeedEntries(dir.storeFolder(), 3);
             test::RunSqlite(dir.storeFolder(), "PRAGMA user_version = 9;");
         },
         "newer version", store},
        // The tool's side of a store closed to the user runs as another user (test_cachedump);
        // here the status it ends with.
        {"store closed to the user", [&] { ToolEndingWith(kDumpStoreUnreadable); }, "no permission to read", store},
        {"program folder takes no dump",
         [&] {
             dir.WithUrlHound();
             test::SeedEntries(dir.storeFolder(), 3);
             fs::create_directories(dir.file("OrlinVisited.dat"));  // a folder where the dump goes
         },
         "could not write its dump files", program},
        {"other store failure", [&] { ToolEndingWith(kDumpStoreFailed); }, "could not be read", store},
        {"unknown status", [&] { ToolEndingWith(42); }, "exit status 42", program},
    };
    std::set<std::string> messages, logLines;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir.storeFolder());
        fs::remove_all(dir.file("OrlinVisited.dat"));
        fs::remove(dir.file(kUrlHoundName));
        fs::remove(ActivityLogPath(tp.platform));
        c.prepare();
        const Said said = Run();
        ASSERT_EQ(said.boxes, 1u);
        EXPECT_NE(said.text.find(c.says), std::string::npos) << said.text;
        EXPECT_NE(said.text.find(c.where), std::string::npos) << said.text;
        // One log line, an error entry that names the place too.
        EXPECT_EQ(said.log.rfind("ERROR: ", 0), 0u) << said.log;
        EXPECT_EQ(said.log.find("\r\n"), said.log.size() - 2) << said.log;
        EXPECT_NE(said.log.find(c.where), std::string::npos) << said.log;
        messages.insert(said.text);
        logLines.insert(said.log);
    }
    EXPECT_EQ(messages.size(), cases.size());
    EXPECT_EQ(logLines.size(), cases.size());
}

TEST_F(UrlHoundFailures, AnEmptyHealthyStoreAndAStoreWithEntriesSaySilence)
{
    dir.WithUrlHound();
    test::CreateStore(dir.storeFolder());
    for (const bool cookieOnly : {false, true}) {
        const Said said = Run(cookieOnly);
        EXPECT_EQ(said.boxes, 0u);
        EXPECT_EQ(said.log, "");
    }
    test::SeedEntries(dir.storeFolder(), 5);
    const Said said = Run();
    EXPECT_EQ(said.boxes, 0u);
    EXPECT_EQ(said.log, "");
    EXPECT_TRUE(dir.Exists("OrlinAll.dat"));
}

// Every refresh meets a lasting failure again: it is said once, until a run works.
TEST_F(UrlHoundFailures, ALastingFailureIsSaidOnceUntilARunWorks)
{
    dir.WithUrlHound();
    const Said first = Run();
    EXPECT_EQ(first.boxes, 1u);
    for (const bool cookieOnly : {false, true, false}) {
        const Said again = Run(cookieOnly);
        EXPECT_EQ(again.boxes, 0u);
        EXPECT_EQ(again.log, first.log);  // no second line either
    }
    test::CreateStore(dir.storeFolder());
    EXPECT_EQ(Run().boxes, 0u);
    fs::remove_all(dir.storeFolder());
    const Said afterRecovery = Run();
    EXPECT_EQ(afterRecovery.boxes, 1u);
    EXPECT_EQ(afterRecovery.log, first.log + first.log);
}
