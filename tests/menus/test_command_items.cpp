// The items of the Commands menus: each stands where the menu gives it, with its own caption,
// and choosing it does exactly what a click on its button does: the same log entry, the
// same message boxes and dialogs, the same runs of UrlHound, the same files, the same state
// of every control. The click and the choice run in two windows set up alike.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTest>
#include <QPlainTextEdit>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

#include "host/TextListView.h"
#include "menus/MenuTestSupport.h"
#include "menus/TabCommandTable.h"
#include "scripts/ScriptEditorPage.h"

using namespace brimlow;
using namespace brimlow::test;
namespace fs = std::filesystem;

namespace brimlow {
void PrintTo(const CommandItem& row, std::ostream* os)
{
    *os << row.item;
}
}  // namespace brimlow

namespace {

bool IsControlName(const QString& name)
{
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

// Everything a handler can change that a user or a later run can see.
struct Observed {
    std::string log;
    std::vector<std::string> boxes;
    std::vector<std::string> dialogs;
    std::vector<std::string> runs;
    std::vector<std::string> printed;
    std::vector<std::string> opened;
    std::vector<std::string> launched;
    std::vector<std::string> keys;
    std::size_t timers = 0;
    int exits = 0;
    int page = -1;
    std::string controls;
    std::string files;
    bool operator==(const Observed&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Observed& o)
{
    os << "log<" << o.log << "> boxes<";
    for (const auto& b : o.boxes)
        os << b << ";";
    os << "> dialogs<";
    for (const auto& d : o.dialogs)
        os << d << ";";
    os << "> runs<";
    for (const auto& r : o.runs)
        os << r << ";";
    os << "> launched<";
    for (const auto& l : o.launched)
        os << l << ";";
    os << "> keys<";
    for (const auto& k : o.keys)
        os << k << ";";
    os << "> timers " << o.timers << " printed " << o.printed.size() << " opened " << o.opened.size() << " exits "
       << o.exits << " page "
       << o.page << "\nfiles<" << o.files << ">\ncontrols<" << o.controls << ">";
    return os;
}

class SetUpWindow {
public:
    SetUpWindow()
    {
        w.tp.dialogs.savePaths.push_back((w.dir.folder() / "saved.txt").string());
        for (int i = 0; i < 4; ++i)
            w.tp.dialogs.answers.push_back(MsgBoxAnswer::Yes);
    }

    // The same starting point for every row of a page: something for its buttons to act on.
    void Arrange(int page)
    {
        if (page == frmMain::kActivityReport)  // a log to clear, save and print
            w.dir.Write("ActivityReport.dat", "Bleach Utility: [Execute] clicked\r\n\r\n");
        if (page == frmMain::kQuickCleanUp) {
            // A script to edit or delete, a cookie to protect and one to give back, all selected.
            w.dir.Write("Clean.scr", "/usr/bin/true\r\n\x01\r\nClears a cache\r\n\x01\r\n[ALT]f\r\n");
            w.main->SSTab1->setCurrentIndex(frmMain::kScriptEditor);  // back to page 0 lists it
        }
        w.main->SSTab1->setCurrentIndex(page);
        if (page == frmMain::kQuickCleanUp) {
            auto* cookies = Named<TextListView>("QC_lstCookies");
            EXPECT_GE(cookies->count(), 2);
            cookies->setCurrentRow(0);
            Named<QAbstractButton>("QC_cmdAdd")->click();
            cookies->setCurrentRow(0);
            Named<QListWidget>("QC_lstDelCookies")->setCurrentRow(0);
            Named<QListWidget>("QC_lstScripts")->setCurrentRow(0);
        }
        if (page == frmMain::kScriptEditor) {
            // A script to extend, edit, save and test: a target, a description, two commands
            // with the first selected, and a key stroke waiting under "Key Strokes:". Load and
            // Browse are answered with another script file.
            w.dir.Write("Other.scr", "/usr/bin/false\r\n\x01\r\nOpens the history\r\n\x01\r\n[CTRL]h\r\n");
            w.tp.dialogs.openPaths.push_back((w.dir.folder() / "Other.scr").string());
            Named<QLineEdit>("SE_txtScriptName")->setText(QStringLiteral("Clean.scr"));
            Named<QLineEdit>("SE_txtTargetName")->setText(QStringLiteral("/usr/bin/true"));
            Named<QPlainTextEdit>("SE_rtfScriptDescription")->setPlainText(QStringLiteral("Clears a cache"));
            w.main->scriptEditorPage().SetCommands({"[ALT]f", "x"});
            Named<TextListView>("SE_lstCommands")->setCurrentRow(0);
            Named<QAbstractButton>("SE_cmdAlt")->click();
        }
        if (page == frmMain::kUrlHound) {
            // Results to clear, save and report, and another search string to run or extend.
            Named<QPlainTextEdit>("UH_txtCacheSearchString")->setPlainText(QStringLiteral("site1"));
            Named<QAbstractButton>("UH_cmdCacheSearch")->click();
            Named<QPlainTextEdit>("UH_txtCacheSearchString")->setPlainText(QStringLiteral("site2"));
        }
        // What the arrangement set off is done first: the settings it changed are written
        // once its events have run.
        QCoreApplication::processEvents();
        baseline = Observe();
    }

    // What a handler started on a timer (a test run's ticks into its target) is part of
    // what it does: a second of ticks plays a short script to its end.
    void PlayTimers() { w.tp.scheduler.Advance(std::chrono::seconds(1)); }

    template <typename T>
    T* Named(const char* name)
    {
        T* c = w.main->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }

    std::string Normal(std::string s) const
    {
        for (const std::string& from : {w.dir.folder().string(), w.dir.root().string()}) {
            for (std::size_t at; (at = s.find(from)) != std::string::npos;)
                s.replace(at, from.size(), "<folder>");
        }
        return s;
    }

    Observed Observe()
    {
        Observed o;
        o.log = w.dir.Exists("ActivityReport.dat") ? Normal(w.dir.Read("ActivityReport.dat")) : "<none>";
        for (const auto& b : w.tp.dialogs.boxes)
            o.boxes.push_back(Normal(b.title + "|" + b.text));
        for (const auto& d : w.tp.dialogs.saveDialogs)
            o.dialogs.push_back(Normal("save|" + d.initialFolder + "|" + d.filter));
        for (const auto& d : w.tp.dialogs.openDialogs)
            o.dialogs.push_back(Normal("open|" + d.initialFolder + "|" + d.filter));
        for (const auto& r : w.tp.runner.calls) {
            std::string line = Normal(r.workingFolder.string());
            for (const auto& a : r.argv)
                line += " " + Normal(a);
            o.runs.push_back(line);
        }
        o.printed = w.tp.printer.printed;
        o.opened = w.tp.browser.opened;
        o.launched = w.tp.launcher.launched;
        for (const auto& k : w.tp.keys.sent)
            o.keys.push_back(std::to_string(k.window) + ":" + k.keys);
        o.timers = w.tp.scheduler.activeTimers();
        o.exits = w.tp.exit.calls;
        o.page = w.main->SSTab1->currentIndex();
        o.controls = Controls();
        std::map<std::string, std::string> files;
        for (const auto& e : fs::directory_iterator(w.dir.folder()))
            if (e.is_regular_file() && e.path().filename() != "UrlHound")
                files[e.path().filename().string()] = Normal(w.dir.Read(e.path().filename().string()));
        for (const auto& [name, bytes] : files)
            o.files += name + "=" + bytes + "\n";
        return o;
    }

    static QAbstractItemView* ListOf(QWidget* c)
    {
        if (auto* l = qobject_cast<QListWidget*>(c))
            return l;
        return qobject_cast<TextListView*>(c);
    }

    std::string Controls()
    {
        std::ostringstream os;
        for (QWidget* c : w.main->findChildren<QWidget*>()) {
            if (!IsControlName(c->objectName()))
                continue;
            os << c->objectName().toStdString() << (c->isVisibleTo(w.main.get()) ? "" : "(hidden)")
               << (c->isEnabled() ? "" : "(disabled)") << ":";
            if (auto* l = ListOf(c)) {
                // A list widget and a view of the page's table alike: each row, and whether
                // it is selected or checked.
                const QAbstractItemModel* m = l->model();
                for (int i = 0; i < m->rowCount(); ++i) {
                    const QModelIndex row = m->index(i, 0);
                    os << row.data().toString().toStdString() << (l->selectionModel()->isSelected(row) ? "*" : "")
                       << (row.data(Qt::CheckStateRole).toInt() == Qt::Checked ? "+" : "") << ",";
                }
            } else if (auto* e = qobject_cast<QLineEdit*>(c)) {
                os << e->text().toStdString();
            } else if (auto* t = qobject_cast<QPlainTextEdit*>(c)) {
                os << t->toPlainText().toStdString();
            } else if (auto* d = qobject_cast<QDateEdit*>(c)) {
                os << d->date().toString(Qt::ISODate).toStdString();
            } else if (auto* b = qobject_cast<QComboBox*>(c)) {
                os << b->currentText().toStdString();
            } else if (auto* k = qobject_cast<QAbstractButton*>(c)) {
                os << (k->isChecked() ? "on" : "off");
            }
            os << "\n";
        }
        return Normal(os.str());
    }

    LoadedWindow w;
    Observed baseline;
};

QAction* ItemIn(QMenu* menu, const char* name)
{
    for (QAction* a : menu->actions())
        if (a->objectName() == QLatin1String(name))
            return a;
    return nullptr;
}

class CommandItemRow : public testing::TestWithParam<CommandItem> {};

TEST_P(CommandItemRow, ChoosingTheItemDoesWhatAClickOnItsButtonDoes)
{
    const CommandItem row = GetParam();
    Observed clicked;
    {
        SetUpWindow run;
        auto* button = run.w.main->findChild<QAbstractButton*>(QString::fromLatin1(row.button));
        ASSERT_NE(button, nullptr) << row.button << " is not on the window";
        run.Arrange(row.page);
        QTest::mouseClick(button, Qt::LeftButton);
        run.PlayTimers();
        clicked = run.Observe();
        ASSERT_NE(clicked, run.baseline) << "the click on " << row.button << " changed nothing to compare with";
    }
    Observed chosen;
    {
        SetUpWindow run;
        run.Arrange(row.page);
        QAction* item = ItemIn(run.w.main->commandsMenu(row.page), row.item);
        ASSERT_NE(item, nullptr) << row.item << " is missing from its page's Commands menu";
        // A click also gives the button the keyboard focus, which a menu leaves where it was;
        // what moves the focus on later (the exit hides the window) starts from the same place.
        run.Named<QAbstractButton>(row.button)->setFocus(Qt::MouseFocusReason);
        item->trigger();
        run.PlayTimers();
        chosen = run.Observe();
    }
    EXPECT_EQ(chosen, clicked);
}

std::string ItemName(const testing::TestParamInfo<CommandItem>& info)
{
    return info.param.item;
}

std::vector<CommandItem> CommandRows()
{
    std::vector<CommandItem> rows;
    for (const CommandItem& row : CommandItems())
        if (row.button)
            rows.push_back(row);
    return rows;
}

INSTANTIATE_TEST_SUITE_P(AllCommandItems, CommandItemRow, testing::ValuesIn(CommandRows()), ItemName);

// Each menu reads, top to bottom: its title, a separator, then its rows in the table's
// order, with the table's captions, all enabled, none with a shortcut or a check mark.
class CommandsMenu : public testing::TestWithParam<int> {};

TEST_P(CommandsMenu, HoldsItsTitleAndItsItemsInOrder)
{
    const int page = GetParam();
    LoadedWindow w;
    QMenu* menu = w.main->commandsMenu(page);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->objectName(), CommandsMenuName(page));
    // Its caption on the bar, while its page is the current one.
    w.main->SSTab1->setCurrentIndex(page);
    EXPECT_EQ(menu->title(), QStringLiteral("&Commands"));
    static const char* const titles[] = {"Quick Clean Up", "Script Editor", "Url Hound",
                                         "Cookie Editor",  "Bleach Utility", "Activity Report"};
    static const char* const codes[] = {"QC", "SE", "UH", "CE", "BU", "AR"};
    const QList<QAction*> actions = menu->actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_EQ(actions[0]->text(), QString::fromLatin1(titles[page]));
    EXPECT_EQ(actions[0]->objectName(), QStringLiteral("mnuTabCommandsTitle%1").arg(codes[page]));
    EXPECT_TRUE(actions[0]->isEnabled());
    EXPECT_TRUE(actions[1]->isSeparator());

    QStringList expected;
    for (const CommandItem& row : CommandItems()) {
        if (row.page != page)
            continue;
        if (row.button) {
            EXPECT_NE(w.main->findChild<QAbstractButton*>(QString::fromLatin1(row.button)), nullptr) << row.button;
        }
        expected << QString::fromLatin1(row.item) + "=" + QString::fromLatin1(row.caption);
    }
    if (page == frmMain::kBleachUtility)
        expected << "mnuTabCommandsBU_Disabled=Disabled for safety";

    QStringList built;
    for (qsizetype i = 2; i < actions.size(); ++i) {
        QAction* a = actions[i];
        built << a->objectName() + "=" + (a->isSeparator() ? QStringLiteral("-") : a->text());
        EXPECT_TRUE(a->shortcut().isEmpty()) << a->objectName().toStdString();
        EXPECT_FALSE(a->isCheckable()) << a->objectName().toStdString();
        EXPECT_EQ(a->isEnabled(), a->objectName() != QLatin1String("mnuTabCommandsBU_Disabled"))
            << a->objectName().toStdString();
    }
    EXPECT_EQ(built, expected);
}

INSTANTIATE_TEST_SUITE_P(AllPages, CommandsMenu, testing::Range(0, frmMain::kPageCount));

// A title item closes the menu and changes nothing.
TEST(CommandsMenuTitle, ChoosingATitleChangesNothing)
{
    for (int page = 0; page < frmMain::kPageCount; ++page) {
        SetUpWindow run;
        run.Arrange(page);
        QMenu* menu = run.w.main->commandsMenu(page);
        PopupProbe probe;
        probe.onOpen = [](QWidget* popup) {
            auto* m = qobject_cast<QMenu*>(popup);
            m->setActiveAction(m->actions().first());
            QTest::keyClick(m, Qt::Key_Return);
        };
        const auto seen = probe.During([&] { menu->exec(QPoint(10, 10)); });
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_FALSE(menu->isVisible()) << "page " << page;
        EXPECT_EQ(run.Observe(), run.baseline) << "page " << page;
    }
}

}  // namespace
