#pragma once
// A test of the whole main window over a temporary program folder with the real UrlHound
// and store: the fixture sets the folders, and takes the window and the tables it shares
// with the pages down after each test, so no test sees another's lists.
#include <gtest/gtest.h>
#include <memory>

#include "cookies/MCookieEditor.h"
#include "host/UserSettingsFile.h"
#include "shell/frmMain.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

namespace brimlow::test {

class MainWindowTest : public testing::Test {
protected:
    TempProgramFolder dir;
    TestPlatform tp;
    std::unique_ptr<frmMain> main;

    void SetUp() override
    {
        tp.platform.programFolder = dir.folder();
        tp.platform.storeFolder = dir.storeFolder();
        dir.WithUrlHound();
    }
    void TearDown() override
    {
        main.reset();
        ReleaseCookieTables();
        ReleaseSelectedScripts();
    }
};

}  // namespace brimlow::test
