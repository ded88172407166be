// The two script pages in the real main window, as a user drives them with keys and the
// mouse: the menu bar's access keys while "Key Strokes:" has the focus, Edit Script, and the
// description beside the script list.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTabWidget>
#include <QTest>
#include <cctype>
#include <gtest/gtest.h>

#include "cookies/MCookieEditor.h"
#include "host/UserSettingsFile.h"
#include "scripts/QuickCleanUpPage.h"
#include "scripts/ScriptEditorPage.h"
#include "shell/frmMain.h"
#include "support/StoreSeed.h"
#include "support/TempProgramFolder.h"
#include "support/MainWindowTest.h"
#include "support/TestPlatform.h"

using namespace brimlow;

namespace {

class ScriptPagesTest : public test::MainWindowTest {
protected:
    QuickCleanUpPage* qc = nullptr;
    ScriptEditorPage* se = nullptr;

    void SetUp() override
    {
        MainWindowTest::SetUp();
        test::CreateStore(dir.storeFolder());  // an empty cache: the start-up has nothing to say
        dir.Write("a.scr", "/usr/bin/a\r\n\x01\r\nScript A.\r\n\x01\r\na\r\n");
        dir.Write("b.scr", "/usr/bin/b\r\n\x01\r\nScript B.\r\n\x01\r\nb\r\n");
        dir.Write("c.scr", "/usr/bin/c\r\n\x01\r\nScript C.\r\n\x01\r\nc\r\n");
        main = std::make_unique<frmMain>(tp.platform);
        main->show();
        main->Form_Load();
        qc = &main->quickCleanUpPage();
        se = &main->scriptEditorPage();
        ASSERT_EQ(qc->QC_lstScripts->count(), 3);
        ASSERT_TRUE(tp.dialogs.boxes.empty());
    }
    int Row(const std::string& name) const
    {
        for (int i = 0; i < qc->QC_lstScripts->count(); ++i)
            if (qc->QC_lstScripts->item(i)->text().toStdString() == name)
                return i;
        ADD_FAILURE() << name;
        return 0;
    }
    std::string Description() const { return qc->QC_rtfScriptDescription->toPlainText().toStdString(); }
    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& b : tp.dialogs.boxes)
            texts.push_back(b.text);
        return texts;
    }
    // A click on the check box of an entry, where the style draws it.
    void ClickCheckBox(int row)
    {
        QListWidget* list = qc->QC_lstScripts;
        QListWidgetItem* item = list->item(row);
        QStyleOptionViewItem option;
        option.initFrom(list);
        option.rect = list->visualItemRect(item);
        option.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
        option.text = item->text();
        option.checkState = item->checkState();
        const QRect box = list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
        const Qt::CheckState before = item->checkState();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center());
        ASSERT_NE(item->checkState(), before) << "the click did not reach the check box";
    }
};

TEST_F(ScriptPagesTest, TheMenuKeysAreRecordedWhileKeyStrokesHasTheFocus)
{
    main->SSTab1->setCurrentIndex(frmMain::kScriptEditor);
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    se->SE_txtScript->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(se->SE_txtScript->hasFocus());
    for (const Qt::Key key : {Qt::Key_F, Qt::Key_T, Qt::Key_C, Qt::Key_H})
        QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Alt, Qt::AltModifier);
    // The Alt key itself, then the key with Alt held, as the recorder writes them.
    EXPECT_EQ(se->strCommand(), "[ALT][ALT]f[ALT][ALT]t[ALT][ALT]c[ALT][ALT]h[ALT]");
    EXPECT_EQ(se->SE_txtScript->toPlainText().toStdString(), se->strCommand());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "a menu opened";
    EXPECT_TRUE(se->SE_txtScript->hasFocus());
    EXPECT_FALSE(main->menuBar()->hasFocus());

    // Elsewhere the access keys are the menu bar's again.
    se->SE_cmdClear->setFocus(Qt::OtherFocusReason);
    se->SE_cmdClear_Click();
    QTest::keyClick(se->SE_cmdAlt, Qt::Key_H, Qt::AltModifier);
    EXPECT_EQ(se->strCommand(), "");
    auto* help = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(help, nullptr) << "Alt+H opens no menu on a button";
    EXPECT_EQ(help->title().toStdString(), "&Help");
    help->close();
}

TEST_F(ScriptPagesTest, EditScriptKeepsTheKeyStrokesAndNamesAMissingFile)
{
    main->SSTab1->setCurrentIndex(frmMain::kScriptEditor);
    se->SE_cmdControl_Click();
    se->AddCommand("kept");
    se->SE_txtTargetName->setText("/kept/target");
    main->SSTab1->setCurrentIndex(frmMain::kQuickCleanUp);
    qc->QC_lstScripts->setCurrentRow(Row("b.scr"));
    qc->QC_cmdEditScript_Click();
    EXPECT_EQ(main->SSTab1->currentIndex(), frmMain::kScriptEditor);
    EXPECT_EQ(se->SE_txtTargetName->text().toStdString(), "/usr/bin/b");
    EXPECT_EQ(se->SE_lstCommands->count(), 1);
    EXPECT_EQ(se->strCommand(), "[CTRL]");
    EXPECT_EQ(se->SE_txtScript->toPlainText().toStdString(), "[CTRL]");

    // The file has gone: its path still goes into "Script being edited:", the rest stays.
    main->SSTab1->setCurrentIndex(frmMain::kQuickCleanUp);
    std::filesystem::remove(dir.file("c.scr"));
    qc->QC_lstScripts->setCurrentRow(Row("c.scr"));
    tp.dialogs.boxes.clear();
    qc->QC_cmdEditScript_Click();
    EXPECT_EQ(main->SSTab1->currentIndex(), frmMain::kScriptEditor);
    EXPECT_EQ(se->SE_txtScriptName->text().toStdString(), dir.file("c.scr").string());
    EXPECT_EQ(se->SE_txtTargetName->text().toStdString(), "/usr/bin/b");
    EXPECT_EQ(se->strCommand(), "[CTRL]");
    ASSERT_EQ(tp.dialogs.boxes.size(), 1u);
    EXPECT_EQ(tp.dialogs.boxes[0].title, "File I\\O Error");
    EXPECT_EQ(tp.dialogs.boxes[0].text, "The requested file does not exist.\r\nPlease check the path and try again.\r\n" +
                                            dir.file("c.scr").string());
}

TEST_F(ScriptPagesTest, TheDescriptionFollowsTheEntryMovedToByKeysAndTicks)
{
    QListWidget* list = qc->QC_lstScripts;
    list->setFocus(Qt::OtherFocusReason);
    // The description a.scr, b.scr and c.scr carry: "Script A." and so on.
    const auto describes = [&](int row) {
        return "Script " + std::string(1, static_cast<char>(std::toupper(list->item(row)->text().toStdString()[0]))) +
               ".\n";
    };
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    EXPECT_EQ(Description(), describes(0));
    QTest::keyClick(list, Qt::Key_Down);
    ASSERT_EQ(list->currentRow(), 1);
    EXPECT_EQ(Description(), describes(1));
    list->setCurrentRow(Row("a.scr"));
    // A tick on another entry shows that entry.
    ClickCheckBox(Row("c.scr"));
    EXPECT_EQ(list->currentRow(), Row("c.scr"));
    EXPECT_EQ(Description(), "Script C.\n");
    EXPECT_EQ(list->toolTip().toStdString(), "c.scr");
    EXPECT_TRUE(tp.dialogs.boxes.empty());
    // The space bar ticks the current entry; it is on show already.
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(Description(), "Script C.\n");

    // The current entry's file has gone: ticking another reports nothing about it.
    std::filesystem::remove(dir.file("a.scr"));
    list->setCurrentRow(Row("a.scr"));
    ASSERT_EQ(BoxTexts().size(), 1u) << "moving to the gone entry says so once";
    ClickCheckBox(Row("b.scr"));
    EXPECT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(Description(), "Script B.\n");
    // Nor does a new file being listed, nor the checks being restored as at start-up.
    list->setCurrentRow(Row("a.scr"));
    ASSERT_EQ(BoxTexts().size(), 2u);
    dir.Write("d.scr", "/usr/bin/d\r\nd\r\n");
    qc->ListScriptFiles();
    qc->RestoreScriptChecks();
    EXPECT_EQ(BoxTexts().size(), 2u);
    EXPECT_EQ(list->count(), 4);
}

}  // namespace
