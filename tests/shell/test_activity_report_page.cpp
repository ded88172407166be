// The activity report page in a real main window: the two views, clear, save and print.
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QPlainTextEdit>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/MActivityReport.h"
#include "shell/ActivityReportPage.h"
#include "shell/frmMain.h"
#include "support/Unprivileged.h"
#include "support/GuiTestSupport.h"
#include "support/TempProgramFolder.h"
#include "support/TestPlatform.h"

using namespace brimlow;

namespace {

QString Box(const std::string& bytes)
{
    QString s = QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

class ActivityReportPageTest : public testing::Test {
protected:
    test::TempProgramFolder dir;
    test::TestPlatform tp;
    std::unique_ptr<frmMain> main;
    ActivityReportPage* page = nullptr;

    void SetUp() override
    {
        tp.platform.programFolder = dir.folder();
        tp.platform.storeFolder = dir.storeFolder();
        tp.runner.passThrough = false;  // no UrlHound here: the page does not need the cache
        main = std::make_unique<frmMain>(tp.platform);
        main->show();
        main->Form_Load();
        page = &main->activityReportPage();
    }
    void Click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    void SelectReportTab()
    {
        main->SSTab1->setCurrentIndex(frmMain::kQuickCleanUp);
        main->SSTab1->setCurrentIndex(frmMain::kActivityReport);
    }
    void ShowSearchReport(const std::string& bytes)
    {
        dir.Write("BrimlowTemp.dat", bytes);
        page->ShowCacheSearchReport(bytes);
        QTest::mouseClick(page->AR_optUrlHoundSearch, Qt::LeftButton);
    }
};

const std::string kReport = " \r\n \r\n12/10/26  9:00 AM\r\nSearch Paramaters: gif\r\n \r\n"
                            " \r\nSource: http://a.example/x.gif\r\nFile Location: N\\A\r\nAccessed: 6/1/2024\r\n"
                            "Expires: 1/1/2031\r\nHeader: \r\n\r\n\r\nN\\A\r\n";

}  // namespace

TEST_F(ActivityReportPageTest, LayoutAndViews)
{
    EXPECT_TRUE(page->AR_optActivityReport->isChecked());
    EXPECT_EQ(page->Frame6->title(), QStringLiteral("View"));
    EXPECT_EQ(page->AR_optUrlHoundSearch->text(), QStringLiteral("View Url Hound Search Results"));
    EXPECT_EQ(page->AR_cmdSave->toolTip(), QStringLiteral("Save the selected report in text format."));
    EXPECT_EQ(page->AR_cmdPrint->property("helpContextId").toInt(), 606);
    EXPECT_EQ(page->AR_cmdSave->property("helpContextId").toInt(), 606);
    EXPECT_EQ(page->AR_txtActivityReport->geometry(), page->AR_txtCacheSearchReport->geometry());
    EXPECT_TRUE(page->Label3->text().contains(QStringLiteral("Press the [Save Reort] button to retain a copy.")));
    EXPECT_EQ(page->Label3->text().count(QLatin1Char('\n')), 4);  // five paragraphs

    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    main->SSTab1->setCurrentIndex(frmMain::kActivityReport);
    const char* order[] = {"AR_optActivityReport", "AR_optUrlHoundSearch", "AR_txtActivityReport",
                           "AR_cmdClear",          "AR_cmdSave",           "AR_cmdExit", "AR_cmdPrint"};
    // Tab from each control reaches the next shown one ("Print Report" comes after "Exit").
    // The search report box is hidden in this view and so skipped.
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        if (i == 0)
            continue;  // option buttons are one group: Tab leaves the group
        test::Named<QWidget>(page, order[i])->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), order[i + 1]) << "from " << order[i];
    }

    AppendActivityLog(tp.platform, "Bleach Utility: [Execute] clicked\r\n\r\n");
    SelectReportTab();
    EXPECT_EQ(page->AR_txtActivityReport->toPlainText(), Box("Bleach Utility: [Execute] clicked\r\n\r\n"));
    EXPECT_TRUE(page->AR_txtActivityReport->isVisible());
    EXPECT_FALSE(page->AR_txtCacheSearchReport->isVisible());

    // Switching views shows the other box and reloads neither.
    AppendActivityLog(tp.platform, "later entry\r\n");
    page->ShowCacheSearchReport(kReport);
    QTest::mouseClick(page->AR_optUrlHoundSearch, Qt::LeftButton);
    EXPECT_FALSE(page->AR_txtActivityReport->isVisible());
    EXPECT_TRUE(page->AR_txtCacheSearchReport->isVisible());
    QTest::mouseClick(page->AR_optActivityReport, Qt::LeftButton);
    EXPECT_TRUE(page->AR_txtActivityReport->isVisible());
    EXPECT_EQ(page->AR_txtActivityReport->toPlainText(), Box("Bleach Utility: [Execute] clicked\r\n\r\n"));
    EXPECT_EQ(page->AR_txtCacheSearchReport->toPlainText(), Box(kReport));

    // The tab control's focus shows the box that the view calls for.
    page->AR_optUrlHoundSearch->setChecked(true);
    page->AR_txtActivityReport->show();
    page->AR_txtCacheSearchReport->hide();
    main->SSTab1_GotFocus();
    EXPECT_FALSE(page->AR_txtActivityReport->isVisible());
    EXPECT_TRUE(page->AR_txtCacheSearchReport->isVisible());
}

TEST_F(ActivityReportPageTest, ClearInTheLogView)
{
    AppendActivityLog(tp.platform, "old entry\r\n");
    SelectReportTab();
    Click(page->AR_cmdClear);
    EXPECT_EQ(dir.Read("ActivityReport.dat"), "\r\n\r\n");
    EXPECT_EQ(page->AR_txtActivityReport->toPlainText(), QString());
    // Saving now writes the empty box, not the reset log.
    const std::string out = (dir.folder() / "log.txt").string();
    tp.dialogs.savePaths.push_back(out);
    Click(page->AR_cmdSave);
    EXPECT_EQ(dir.Read("log.txt"), "");
    SelectReportTab();
    EXPECT_EQ(page->AR_txtActivityReport->toPlainText(), QStringLiteral("\n\n"));  // two empty lines
    EXPECT_TRUE(tp.dialogs.boxes.empty());
}

TEST_F(ActivityReportPageTest, ClearInTheSearchView)
{
    ShowSearchReport(kReport);
    Click(page->AR_cmdClear);
    EXPECT_FALSE(dir.Exists("BrimlowTemp.dat"));
    EXPECT_EQ(page->AR_txtCacheSearchReport->toPlainText(), QString());
    page->ShowCacheSearchReport(kReport);
    Click(page->AR_cmdClear);  // no file: only the box is emptied
    EXPECT_EQ(page->AR_txtCacheSearchReport->toPlainText(), QString());
    EXPECT_TRUE(tp.dialogs.boxes.empty());

    // A read-only report is not deleted without force: the user is told, and both stay.
    ShowSearchReport(kReport);
    ::chmod(dir.file("BrimlowTemp.dat").c_str(), 0444);
    Click(page->AR_cmdClear);
    EXPECT_TRUE(dir.Exists("BrimlowTemp.dat"));
    EXPECT_EQ(page->AR_txtCacheSearchReport->toPlainText(), Box(kReport));
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].text, "70Error deleting file: " + dir.file("BrimlowTemp.dat").string());
    EXPECT_EQ(tp.dialogs.boxes[0].title, "Brimlow");
}

TEST_F(ActivityReportPageTest, SaveWritesTheVisibleBoxAndReportsFailures)
{
    AppendActivityLog(tp.platform, "Cookie Editor: [Set Cookie] clicked\r\n\r\nsecond line\r\n");
    SelectReportTab();
    ShowSearchReport(kReport);
    const std::string out = (dir.folder() / "report.txt").string();
    dir.Write("report.txt", "replaced after the question");
    tp.dialogs.savePaths.push_back(out);
    Click(page->AR_cmdSave);
    ASSERT_EQ(tp.dialogs.saveDialogs.size(), 1u);
    EXPECT_TRUE(tp.dialogs.saveDialogs[0].confirmReplace);
    EXPECT_EQ(tp.dialogs.replaceQuestions, std::vector<std::string>{out});
    EXPECT_EQ(tp.dialogs.saveDialogs[0].initialFolder, dir.folder().string() + "/");
    EXPECT_EQ(tp.dialogs.saveDialogs[0].defaultExt, "txt");
    EXPECT_EQ(tp.dialogs.saveDialogs[0].filter, "Text Files (*.txt)|*.txt");
    EXPECT_EQ(dir.Read("report.txt"), kReport);

    QTest::mouseClick(page->AR_optActivityReport, Qt::LeftButton);
    tp.dialogs.savePaths.push_back(out);
    Click(page->AR_cmdSave);
    EXPECT_EQ(dir.Read("report.txt"), "Cookie Editor: [Set Cookie] clicked\r\n\r\nsecond line\r\n");

    // A new name that differs from an existing file only in letter case is a new file.
    const std::string older("older notes\r\n\xe9", 14);
    dir.Write("notes.txt", older);
    tp.dialogs.savePaths.push_back((dir.folder() / "Notes.txt").string());
    Click(page->AR_cmdSave);
    EXPECT_EQ(dir.Read("Notes.txt"), "Cookie Editor: [Set Cookie] clicked\r\n\r\nsecond line\r\n");
    EXPECT_EQ(dir.Read("notes.txt"), older);

    // "No" to replacing, then a new name: the old file stays, the new one gets the text.
    const std::string other = (dir.folder() / "other.txt").string();
    tp.dialogs.savePaths.push_back(out);
    tp.dialogs.savePaths.push_back(other);
    tp.dialogs.replaceAnswers.push_back(false);
    const std::string before = dir.Read("report.txt");
    Click(page->AR_cmdSave);
    EXPECT_EQ(dir.Read("report.txt"), before);
    EXPECT_EQ(dir.Read("other.txt"), "Cookie Editor: [Set Cookie] clicked\r\n\r\nsecond line\r\n");

    // Cancel: silent, nothing written.
    Click(page->AR_cmdSave);
    EXPECT_TRUE(tp.dialogs.boxes.empty());

    // A folder the user may not write: 70, for whoever runs the suite.
    const auto locked = dir.root() / "locked";
    std::filesystem::create_directory(locked);
    const std::string denied = (locked / "report.txt").string();
    {
        test::Unprivileged user({{dir.root(), 0755}, {locked, 0555}});
        ASSERT_TRUE(user.ok());
        tp.dialogs.savePaths.push_back(denied);
        Click(page->AR_cmdSave);
    }
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].text, "70Error opening file: " + denied);
    EXPECT_FALSE(std::filesystem::exists(denied));
    tp.dialogs.boxes.clear();

    // A file inside a regular file fails for root too: 76.
    const std::string bad = (dir.folder() / "report.txt" / "inner.txt").string();
    tp.dialogs.savePaths.push_back(bad);
    Click(page->AR_cmdSave);
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].text, "76Error opening file: " + bad);
    EXPECT_EQ(tp.dialogs.boxes[0].title, "Brimlow");
}

TEST_F(ActivityReportPageTest, PrintsTheVisibleReport)
{
    const std::string pdf = (dir.root() / "printed.pdf").string();
    test::PdfPrinter printer(pdf);
    tp.platform.printer = &printer;
    ShowSearchReport(kReport);
    Click(page->AR_cmdPrint);
    ASSERT_EQ(printer.jobs, 1);
    const std::string text = test::PdfText(pdf);
    for (const char* line : {"Search Paramaters: gif", "Source: http://a.example/x.gif", "File Location: N\\A",
                             "Accessed: 6/1/2024", "Expires: 1/1/2031", "Header:"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in:\n" << text;

    // No printer installed: a message says so.
    tp.printer.installed = false;
    tp.platform.printer = &tp.printer;
    Click(page->AR_cmdPrint);
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].text, "No printer is installed.");
    EXPECT_EQ(tp.dialogs.boxes[0].title, "Brimlow");
}

TEST_F(ActivityReportPageTest, ExitClosesThroughTheShutDown)
{
    Click(page->AR_cmdExit);
    EXPECT_EQ(tp.exit.calls, 1);
    EXPECT_FALSE(main->isVisible());
}

TEST_F(ActivityReportPageTest, SaveAndPrintKeepBytesTheBoxCannotShow)
{
    // A path in another 8-bit encoding: not a character of the locale's encoding.
    const std::string entry = "File deleted\r\n/tmp/caf\xe9.txt\r\nBleached: True\r\n";
    AppendActivityLog(tp.platform, entry);
    SelectReportTab();
    const std::string out = (dir.folder() / "saved.txt").string();
    tp.dialogs.savePaths.push_back(out);
    Click(page->AR_cmdSave);
    EXPECT_EQ(dir.Read("saved.txt"), entry);
    Click(page->AR_cmdPrint);
    ASSERT_EQ(tp.printer.printed.size(), 1u);
    EXPECT_EQ(tp.printer.printed[0], entry);

    // Once the user edits the box, the box's own text is what is saved.
    page->AR_txtActivityReport->selectAll();
    QTest::keyClicks(page->AR_txtActivityReport, "typed");
    QTest::keyClick(page->AR_txtActivityReport, Qt::Key_Return);
    QTest::keyClicks(page->AR_txtActivityReport, "by hand");
    tp.dialogs.savePaths.push_back(out);
    Click(page->AR_cmdSave);
    EXPECT_EQ(dir.Read("saved.txt"), "typed\r\nby hand");

    // After Clear the box is empty, and so is what it saves.
    Click(page->AR_cmdClear);
    tp.dialogs.savePaths.push_back(out);
    Click(page->AR_cmdSave);
    EXPECT_EQ(dir.Read("saved.txt"), "");
}
