// The right-button pop-up over the controls of the main window: every carrier opens exactly
// the current page's Commands menu at the pointer, with or without Shift, Ctrl and Alt; the
// controls without it open none and keep their own menus.
#include <QAction>
#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include "menus/MenuTestSupport.h"
#include "menus/TabCommandMenus.h"
#include "menus/TabCommandTable.h"
#include "support/StoreSeed.h"

using namespace brimlow;
using namespace brimlow::test;

namespace brimlow {
void PrintTo(const PageControl& row, std::ostream* os)
{
    *os << row.name;
}
}  // namespace brimlow

namespace {

const Qt::KeyboardModifiers kModifiers[] = {Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier,
                                            Qt::AltModifier};

std::string Describe(Qt::KeyboardModifiers m)
{
    if (m == Qt::ShiftModifier)
        return "Shift";
    if (m == Qt::ControlModifier)
        return "Ctrl";
    if (m == Qt::AltModifier)
        return "Alt";
    return "no modifier";
}

// The pointer lies on a corner of the menu: the menu opened at the pointer, moved only as
// far as the screen edge makes it.
bool OpensAt(const PopupProbe::Seen& menu, QPoint pointer)
{
    const bool x = menu.topLeft.x() == pointer.x() || menu.bottomRight.x() == pointer.x();
    const bool y = menu.topLeft.y() == pointer.y() || menu.bottomRight.y() == pointer.y();
    return x && y;
}

class RightButtonMenu : public testing::Test {
protected:
    LoadedWindow w;
    PopupProbe probe;

    QWidget* Control(const char* name)
    {
        if (QLatin1String(name) == QLatin1String(kTabStripName))
            return w.main->SSTab1;
        return w.main->findChild<QWidget*>(QString::fromLatin1(name));
    }

    // Right clicks at `pos` of `control` with each modifier state; each must open exactly
    // the current page's Commands menu at the pointer.
    void ExpectCommandsMenu(QWidget* control, QPoint pos, const std::string& where)
    {
        const int page = w.main->SSTab1->currentIndex();
        for (Qt::KeyboardModifiers m : kModifiers) {
            SCOPED_TRACE(where + " with " + Describe(m));
            const auto seen = probe.During([&] { RightClick(control, pos, m); });
            ASSERT_EQ(seen.size(), 1u);
            EXPECT_EQ(seen[0].name, CommandsMenuName(page));
            EXPECT_TRUE(OpensAt(seen[0], control->mapToGlobal(pos)))
                << "menu at " << seen[0].topLeft.x() << "," << seen[0].topLeft.y();
            EXPECT_EQ(w.main->SSTab1->currentIndex(), page) << "the click changed the page";
        }
    }
};

class Carrier : public RightButtonMenu, public testing::WithParamInterface<PageControl> {};

TEST_P(Carrier, RightReleaseOpensTheCurrentPagesCommandsMenu)
{
    const PageControl row = GetParam();
    QWidget* control = Control(row.name);
    ASSERT_NE(control, nullptr) << row.name << " is not on the window";

    if (row.page == kEveryPage) {
        // The tab strip: on every page, on another page's caption as on the current one's,
        // and on the page's empty space.
        QTabBar* bar = w.main->SSTab1->tabBar();
        for (int page = 0; page < frmMain::kPageCount; ++page) {
            w.main->SSTab1->setCurrentIndex(page);
            const int other = (page + 1) % frmMain::kPageCount;
            ExpectCommandsMenu(bar, bar->tabRect(other).center(), "another page's caption on page " + std::to_string(page));
            ExpectCommandsMenu(bar, bar->tabRect(page).center(), "the caption of page " + std::to_string(page));
            QWidget* body = w.main->SSTab1->currentWidget();
            const auto free = FreePoint(body);
            ASSERT_TRUE(free) << "page " << page << " has no empty space";
            ExpectCommandsMenu(body, *free, "the empty space of page " + std::to_string(page));
        }
        return;
    }

    w.main->SSTab1->setCurrentIndex(row.page);
    // A control hidden by design (the Url Hound page's search text) still carries the
    // handler; the release is delivered to it directly.
    const auto free = control->isVisible() ? FreePoint(control) : std::optional<QPoint>(control->rect().center());
    ASSERT_TRUE(free) << row.name << " is covered by other controls everywhere";
    ExpectCommandsMenu(control, *free, row.name);

    // A context-menu request (the press on this platform) opens nothing of the control's own.
    QWidget* to = Receiver(control, *free);
    const auto seen = probe.During([&] {
        QContextMenuEvent request(QContextMenuEvent::Mouse, to->mapFrom(control, *free),
                                  control->mapToGlobal(*free));
        QApplication::sendEvent(to, &request);
    });
    EXPECT_TRUE(seen.empty()) << row.name << " opened its own menu " << seen[0].name.toStdString();
}

std::string RowName(const testing::TestParamInfo<PageControl>& info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(AllCarriers, Carrier, testing::ValuesIn(CommandsMenuCarriers().begin(),
                                                                  CommandsMenuCarriers().end()),
                         RowName);

class WithoutHandler : public RightButtonMenu, public testing::WithParamInterface<PageControl> {};

TEST_P(WithoutHandler, RightReleaseOpensNoCommandsMenuAndTextBoxesKeepTheirOwn)
{
    const PageControl row = GetParam();
    QWidget* control = Control(row.name);
    ASSERT_NE(control, nullptr) << row.name << " is not on the window";
    w.main->SSTab1->setCurrentIndex(row.page);
    if (!control->isVisible())
        GTEST_SKIP() << row.name << " is never shown (a work box of its page): no click reaches it";
    const auto free = FreePoint(control);
    ASSERT_TRUE(free) << row.name << " is covered by other controls everywhere";

    for (Qt::KeyboardModifiers m : kModifiers) {
        SCOPED_TRACE(Describe(m));
        const auto seen = probe.During([&] { RightClick(control, *free, m); });
        for (const auto& menu : seen) {
            for (int page = 0; page < frmMain::kPageCount; ++page)
                EXPECT_NE(menu.name, CommandsMenuName(page)) << row.name << " opened a Commands menu";
            // What opens is the control's own edit menu.
            EXPECT_TRUE(menu.items.join(QLatin1Char('|')).contains(QLatin1String("&Copy")))
                << row.name << " opened " << menu.items.join(QLatin1Char('|')).toStdString();
        }
        // A text box offers its edit menu on the request, as before.
        QWidget* to = Receiver(control, *free);
        if (to->inherits("QLineEdit") || to->parentWidget()->inherits("QPlainTextEdit") || to->inherits("QPlainTextEdit")) {
            EXPECT_EQ(seen.size(), 1u) << row.name << " lost its own menu";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllControlsWithoutHandler, WithoutHandler,
                         testing::ValuesIn(ControlsWithoutCommandsMenu().begin(), ControlsWithoutCommandsMenu().end()),
                         RowName);

// The handler reads nothing but the button code: left and middle releases open nothing and
// the control's own click goes on.
TEST_F(RightButtonMenu, LeftAndMiddleReleasesOpenNothingAndButtonsStillClick)
{
    w.main->SSTab1->setCurrentIndex(frmMain::kUrlHound);
    auto& uh = *w.main->findChild<QWidget*>(QStringLiteral("UH_txtCacheSearchString"));
    auto* andButton = w.main->findChild<QAbstractButton*>(QStringLiteral("UH_cmdAnd"));
    ASSERT_TRUE(andButton);
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::MiddleButton}) {
        const auto seen = probe.During([&] { QTest::mouseClick(andButton, b); });
        EXPECT_TRUE(seen.empty());
    }
    // The left click ran the button's handler once; the middle one nothing.
    EXPECT_EQ(uh.property("plainText").toString(), QStringLiteral(" AND "));

    TabCommandMenus& menus = w.main->tabCommandMenus();
    for (int code : {0, 1, 3, 4, 5, -2}) {
        const auto seen = probe.During([&] { menus.ShowTabCommandsMenu(code); });
        EXPECT_TRUE(seen.empty()) << "button code " << code;
    }
}

TEST_F(RightButtonMenu, BleachUtilityMenuOpensButNothingCanBeChosen)
{
    w.main->SSTab1->setCurrentIndex(frmMain::kBleachUtility);
    const std::size_t boxesBefore = w.tp.dialogs.boxes.size();
    const std::string logBefore = w.dir.Exists("ActivityReport.dat") ? w.dir.Read("ActivityReport.dat") : "";
    QStringList enabled;
    probe.onOpen = [&](QWidget* popup) {
        auto* menu = qobject_cast<QMenu*>(popup);
        for (QAction* a : menu->actions())
            if (a->isEnabled() && !a->isSeparator() && a->objectName() != QLatin1String("mnuTabCommandsTitleBU"))
                enabled << a->objectName();
        // The keys of a chooser: the disabled item's letter, then Down and Enter.
        QTest::keyClick(menu, Qt::Key_D);
        if (QApplication::activePopupWidget() == menu) {
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        }
        if (QApplication::activePopupWidget() == menu)
            menu->close();
    };
    const auto seen = probe.During([&] { w.main->tabCommandMenus().ShowTabCommandsMenu(2); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].name, QStringLiteral("mnuTabBU_Commands"));
    EXPECT_EQ(seen[0].items, QStringList({"Bleach Utility", "", "Disabled for safety"}));
    EXPECT_TRUE(enabled.isEmpty()) << enabled.join(' ').toStdString();
    auto* disabled = w.main->findChild<QAction*>(QStringLiteral("mnuTabCommandsBU_Disabled"));
    ASSERT_TRUE(disabled);
    EXPECT_FALSE(disabled->isEnabled());
    EXPECT_EQ(w.tp.dialogs.boxes.size(), boxesBefore);
    EXPECT_EQ(w.tp.exit.calls, 0);
    EXPECT_EQ(w.dir.Exists("ActivityReport.dat") ? w.dir.Read("ActivityReport.dat") : "", logBefore);
}

}  // namespace

namespace {

// The real runner, with a look at the pointer while the tool runs.
class CursorProbeRunner final : public ProcessRunner {
public:
    void RunAndWait(const std::vector<std::string>& argv, const std::filesystem::path& folder) override
    {
        runs.push_back(argv);
        busy.push_back(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
        real.RunAndWait(argv, folder);
    }
    std::vector<std::vector<std::string>> runs;
    std::vector<bool> busy;
    PosixProcessRunner real;
};

bool Lists(const QAbstractItemView* list, const QString& text)
{
    const QAbstractItemModel* m = list->model();
    return !m->match(m->index(0, 0), Qt::DisplayRole, text, 1, Qt::MatchContains).isEmpty();
}

TEST_F(RightButtonMenu, RefreshImageRefreshesOnLeftAndMiddleAndOnlyOpensTheMenuOnRight)
{
    auto* image = w.main->findChild<QWidget*>(QString::fromLatin1(kRefreshImageName));
    auto* toDelete = w.main->findChild<QAbstractItemView*>(QStringLiteral("QC_lstCookies"));
    auto* sources = w.main->findChild<QAbstractItemView*>(QStringLiteral("CE_lstCookieSources"));
    ASSERT_TRUE(image && toDelete && sources);
    CursorProbeRunner runner;
    w.tp.platform.runner = &runner;

    // A cookie source that reaches the store after the start-up shows in the Quick Clean Up
    // list and the Cookie Editor's list only after a fresh cookie dump.
    std::size_t next = 100;
    auto newSource = [&] {
        const std::size_t i = next++;
        SeedEntries(w.dir.storeFolder(), 1, {SeedKind::Cookie}, i);
        return QStringLiteral("site%1.example/").arg(i);
    };

    // Right: the page's Commands menu, and no refresh.
    const QString unseen = newSource();
    const auto seen = probe.During([&] { RightClick(image, image->rect().center(), Qt::NoModifier); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].name, CommandsMenuName(frmMain::kQuickCleanUp));
    EXPECT_TRUE(runner.runs.empty());
    EXPECT_FALSE(Lists(toDelete, unseen));
    EXPECT_FALSE(Lists(sources, unseen));

    for (Qt::MouseButton b : {Qt::LeftButton, Qt::MiddleButton}) {
        SCOPED_TRACE(b == Qt::LeftButton ? "left" : "middle");
        runner.runs.clear();
        runner.busy.clear();
        const QString added = newSource();
        const auto none = probe.During([&] { QTest::mouseClick(image, b); });
        EXPECT_TRUE(none.empty());
        ASSERT_EQ(runner.runs.size(), 1u) << "UrlHound runs once, for the cookie dump";
        EXPECT_EQ(runner.runs[0].size(), 2u);
        EXPECT_EQ(runner.runs[0].back(), "4");
        EXPECT_TRUE(runner.busy[0]) << "no busy pointer while UrlHound ran";
        // Both lists hold the new source, and the pointer is back.
        EXPECT_TRUE(Lists(toDelete, added));
        EXPECT_TRUE(Lists(sources, added));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    w.tp.platform.runner = &w.tp.runner;
}

}  // namespace
