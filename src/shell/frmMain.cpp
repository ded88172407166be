#include "shell/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QPlainTextEdit>
#include <QTimer>
#include <QVariant>

#include "bleach/BleachUtilityPage.h"
#include "bleach/FolderList.h"
#include "platform/Errors.h"
#include "cachebrowser/UrlHoundPage.h"
#include "cookies/CookieEditorPage.h"
#include "host/MActivityReport.h"
#include "host/MRunUrlHound.h"
#include "host/PageKit.h"
#include "host/frmRefreshingCache.h"
#include "menus/TabCommandMenus.h"
#include "scripts/QuickCleanUpPage.h"
#include "scripts/ScriptEditorPage.h"
#include "shell/ActivityReportPage.h"
#include "shell/Forms.h"
#include "shell/MAboutBox.h"
#include "shell/LastResortCleanUp.h"
#include "host/ShowPainted.h"
#include "shell/MGlobalInitialization.h"
#include "host/UserSettingsFile.h"
#include "shell/ProgramArt.h"
#include "shell/frmAbout.h"
#include "shell/frmSplash.h"

namespace brimlow {

namespace {

constexpr int kClientWidth = 541;   // 8115 twips
constexpr int kClientHeight = 464;  // 6960 twips
// The tab control is 60 twips (4 px) wider and higher than the client area; its right and
// bottom edges run under the window frame.
constexpr int kTabWidth = 545;
constexpr int kTabHeight = 468;
constexpr int kTabStripHeight = 35;  // 520 twips

// The focus policy a coded control had before the tab switch first touched it: "on" gives
// it back, so a list stays a list and a button a button.
constexpr const char* kDesignFocusPolicy = "brimlowDesignFocusPolicy";

constexpr const char* kCommandsCaption = "&Commands";

// Six tabs at the style's usual padding are wider than the window, and a scrolling strip
// would hide a page behind an arrow; a narrower padding keeps all six captions in one row.
class CompactTabStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_TabBarTabHSpace)
            return 10;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
    // Each tab is 520 twips (35 px) high.
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override
    {
        QSize s = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type == CT_TabBarTab)
            s.setHeight(kTabStripHeight);
        return s;
    }
};

QAction* AddItem(QMenu* menu, const char* name, const QString& caption)
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

QAction* AddSeparator(QMenu* menu, const char* name)
{
    QAction* a = menu->addSeparator();
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

}  // namespace

frmMain::frmMain(Platform& platform, Forms* forms, QWidget* parent)
    : QMainWindow(parent), m_platform(platform), m_forms(forms)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Brimlow"));
    setWindowIcon(ProgramIcon());
    // Fixed frame: minimise and close, no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("frmMainClient"));
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);

    SSTab1 = new QTabWidget(client);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    SSTab1->setGeometry(0, 0, kTabWidth, kTabHeight);
    auto* tabStyle = new CompactTabStyle(QStyleFactory::create(QApplication::style()->name()));
    tabStyle->setParent(SSTab1->tabBar());
    SSTab1->tabBar()->setStyle(tabStyle);
    SSTab1->tabBar()->setUsesScrollButtons(false);
    // No help file is attached; the numbers are kept as the controls' data.
    setProperty("helpContextId", 1);
    SSTab1->setProperty("helpContextId", 2);

    PageHost& host = *this;
    m_qc = new QuickCleanUpPage(host, m_platform);
    m_se = new ScriptEditorPage(host, m_platform);
    m_qc->SetScriptRunner(m_se);  // the quick clean-up starts the checked scripts through the editor
    m_uh = new UrlHoundPage(host, m_platform);
    m_ce = new CookieEditorPage(host, m_platform);
    m_bu = new BleachUtilityPage(host, m_platform);
    m_ar = new ActivityReportPage(host, m_platform);
    // The quick clean-up deletes cookie sources through the Cookie Editor.
    m_qc->SetCookieEditor(m_ce);
    SSTab1->addTab(m_qc, QStringLiteral("Quick Clean Up"));
    SSTab1->addTab(m_se, QStringLiteral("Script Editor"));
    SSTab1->addTab(m_uh, QStringLiteral("Url Hound"));
    SSTab1->addTab(m_ce, QStringLiteral("Cookie Editor"));
    SSTab1->addTab(m_bu, QStringLiteral("Bleach Utility"));
    SSTab1->addTab(m_ar, QStringLiteral("Acitvity Report"));
    SSTab1->setCurrentIndex(kQuickCleanUp);
    connect(SSTab1, &QTabWidget::currentChanged, this, [this](int) { SSTab1_Click(0); });
    SSTab1->tabBar()->installEventFilter(this);
    SSTab1->installEventFilter(this);

    BuildMenus();
    WatchSettings();
    // After the pages and menus: the items find their buttons, the pop-up its controls.
    m_tabCommandMenus = new TabCommandMenus(*this, *SSTab1, m_commands, [this] { m_qc->Image3_MouseUp(); });

    // The window cannot be resized: the frame follows the fixed client area and menu bar.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    CentreOnScreen(this, size());
}

frmMain::~frmMain()
{
    // The pages go after this body, and their lists empty as they go: none of that is a
    // change of the settings, and this window can no longer hear it.
    for (const auto& c : m_settingsWatch)
        disconnect(c);
    DisarmLastResortCleanUp();
    // The about box has no owner window; the window that loaded it unloads it.
    delete m_about.data();
}

CookieSourceDeleter& frmMain::cookieSourceDeleter() const
{
    return *m_ce;
}

void frmMain::BuildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("frmMainMenuBar"));

    mnuFile = bar->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    connect(AddItem(mnuFile, "mnuFileExit", QStringLiteral("E&xit")), &QAction::triggered, this,
            [this] { mnuFileExit_Click(); });

    mnuTab = bar->addMenu(QStringLiteral("&Tab"));
    mnuTab->setObjectName(QStringLiteral("mnuTab"));
    connect(AddItem(mnuTab, "mnuTabQuickCleanUP", QStringLiteral("&Quick Clean Up")), &QAction::triggered, this,
            [this] { mnuTabQuickCleanUP_Click(); });
    connect(AddItem(mnuTab, "mnuTabScriptEditor", QStringLiteral("S&cript Editor")), &QAction::triggered, this,
            [this] { mnuTabScriptEditor_Click(); });
    connect(AddItem(mnuTab, "mnuTabUrlHound", QStringLiteral("&Url Hound")), &QAction::triggered, this,
            [this] { mnuTabUrlHound_Click(); });
    connect(AddItem(mnuTab, "mnuTabCookieEditor", QStringLiteral("Coo&kie Editor")), &QAction::triggered, this,
            [this] { mnuTabCookieEditor_Click(); });
    connect(AddItem(mnuTab, "mnuTabBleachUtility", QStringLiteral("&Bleach Utility")), &QAction::triggered, this,
            [this] { mnuTabBleachUtility_Click(); });
    connect(AddItem(mnuTab, "mnuTabActivityReport", QStringLiteral("Activity &Report")), &QAction::triggered, this,
            [this] { mnuTabActivityReport_Click(); });

    // One Commands menu per page, in page order; each opens with the page's name (an item
    // that does nothing) and a separator. The page's command items follow them.
    m_commands[kQuickCleanUp] = AddCommandsMenu("QC", "Quick Clean Up");
    m_commands[kScriptEditor] = AddCommandsMenu("SE", "Script Editor");
    m_commands[kUrlHound] = AddCommandsMenu("UH", "Url Hound");
    m_commands[kCookieEditor] = AddCommandsMenu("CE", "Cookie Editor");
    m_commands[kBleachUtility] = AddCommandsMenu("BU", "Bleach Utility");
    m_commands[kActivityReport] = AddCommandsMenu("AR", "Activity Report");
    SetCommandsMenuFor(kQuickCleanUp);  // the bar never shows more than one, even before the load
    // None of the Bleach Utility's buttons is offered here: they destroy files.
    AddItem(m_commands[kBleachUtility], "mnuTabCommandsBU_Disabled", QStringLiteral("Disabled for safety"))
        ->setEnabled(false);

    mnuHelp = bar->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    connect(AddItem(mnuHelp, "mnuHelpContents", QStringLiteral("&Web Help")), &QAction::triggered, this,
            [this] { mnuHelpContents_Click(); });
    AddSeparator(mnuHelp, "mnuHelpSpace1");
    connect(AddItem(mnuHelp, "mnuHelpUpgrades", QStringLiteral("&Upgrades")), &QAction::triggered, this,
            [this] { mnuHelpUpgrades_Click(); });
    AddSeparator(mnuHelp, "mnuHelpSpace3");
    connect(AddItem(mnuHelp, "mnuHelpProblems", QStringLiteral("Report &Problems")), &QAction::triggered, this,
            [this] { mnuHelpProblems_Click(); });
    connect(AddItem(mnuHelp, "mnuHelpSuggestions", QStringLiteral("&Make Suggestions")), &QAction::triggered,
            this, [this] { mnuHelpSuggestions_Click(); });
    AddSeparator(mnuHelp, "mnuHelpSpace2");
    connect(AddItem(mnuHelp, "mnuHelpAbout", QStringLiteral("&About")), &QAction::triggered, this,
            [this] { mnuHelpAbout_Click(); });
}

QMenu* frmMain::AddCommandsMenu(const char* code, const char* title)
{
    QMenu* m = menuBar()->addMenu(QString::fromLatin1(kCommandsCaption));
    m->setObjectName(QStringLiteral("mnuTab%1_Commands").arg(QLatin1String(code)));
    m->menuAction()->setObjectName(m->objectName());
    AddItem(m, QStringLiteral("mnuTabCommandsTitle%1").arg(QLatin1String(code)).toLatin1().constData(),
            QString::fromLatin1(title));
    AddSeparator(m, QStringLiteral("mnuTabCommandsSpace%1").arg(QLatin1String(code)).toLatin1().constData());
    return m;
}

// ---- start-up ----

void frmMain::Form_Load()
{
    // From here on the data files exist; whatever ends the process destroys them.
    ArmLastResortCleanUp(m_platform);
    bNotInitial = false;
    InitializeMainForm();
    m_uh->UH_cmdCacheRefresh_Click();
    m_ce->CE_cmdRefresh_Click();
    m_refreshingCache->setEnabled(true);
    bNotInitial = true;
    if (m_forms && m_forms->splash())
        m_forms->splash()->Timer1->start();
}

void frmMain::InitializeMainForm()
{
    // Loaded once, hidden; the refreshes show it from now on.
    if (!m_refreshingCache)
        m_refreshingCache = std::make_unique<frmRefreshingCache>();
    SetCommandsMenuFor(kQuickCleanUp);
    m_bu->BU_Dir1_Change();
    RunUrlHound(m_platform, false);
    m_qc->ListScriptFiles();
    LoadUserSettings();
    m_qc->RefreshCleanupCookieLists();
    m_se->ShowTutorial();
}

// ---- the per-user settings file ----

void frmMain::LoadUserSettings()
{
    const SettingsLoad load = brimlow::LoadUserSettings(m_platform);
    m_settingsReplaceable = load.mayReplace();
    if (!m_settingsReplaceable) {
        try {
            AppendActivityLog(m_platform, SettingsNotReadLogEntry(load));
        } catch (const RuntimeError&) {
            // The box below still says it.
        }
        m_platform.dialogs->MsgBox(SettingsNotReadMessage(load), "File I\\O Error", MsgBoxButtons::Ok,
                                   MsgBoxIcon::Exclamation);
        return;
    }
    const auto& restored = load.restored;
    if (!restored)
        return;
    m_qc->AddProtectedCookies(restored->protectedCookies);
    m_qc->RestoreScriptChecks();
    if (restored->delay)
        m_qc->SetDelayText(*restored->delay);
    if (restored->bleachFolder)
        m_bu->RestoreFolder(BleachFolderToOpen(*restored->bleachFolder));
}

void frmMain::SaveUserSettings(bool atExit)
{
    if (!m_settingsReplaceable)
        return;  // the file the start-up could not read stays as it was
    UserSettings settings;
    settings.tab = SSTab1->currentIndex();
    settings.protectedCookies = m_qc->ProtectedCookies();
    settings.checkedScripts = m_qc->CheckedScripts();
    settings.delay = m_qc->DelayText();
    settings.bleachFolder = m_bu->Folder();
    const std::string text = UserSettingsText(settings);
    if (!atExit && text == m_settingsWritten)
        return;
    try {
        brimlow::SaveUserSettings(m_platform, settings);
        m_settingsWritten = text;
        m_settingsFailureSaid = false;
    } catch (const RuntimeError& e) {
        // The run (or the shut-down) goes on; the old file stays whole. Said once until a
        // save works again, not at every change.
        if (!m_settingsFailureSaid)
            m_platform.dialogs->MsgBox("Error " + std::to_string(e.number()) +
                                           ": the settings could not be saved.\r\n" +
                                           UserSettingsPath(m_platform).string(),
                                       kProgramTitle, MsgBoxButtons::Ok, MsgBoxIcon::Exclamation);
        m_settingsFailureSaid = true;
    }
}

void frmMain::WatchSettings()
{
    const auto changed = [this] { SettingsChanged(); };
    QAbstractItemModel* protectedList = m_qc->QC_lstDelCookies->model();
    m_settingsWatch = {
        connect(protectedList, &QAbstractItemModel::rowsInserted, this, changed),
        connect(protectedList, &QAbstractItemModel::rowsRemoved, this, changed),
        connect(protectedList, &QAbstractItemModel::modelReset, this, changed),
        connect(m_qc->QC_lstScripts, &QListWidget::itemChanged, this, changed),
        connect(m_qc->QC_lstScripts->model(), &QAbstractItemModel::rowsRemoved, this, changed),
        connect(m_qc->QC_txtDelay, &QLineEdit::textChanged, this, changed),
        connect(m_bu->BU_Dir1, &FolderList::pathChanged, this, changed),
    };
}

void frmMain::SettingsChanged()
{
    // The start-up restores the settings into these controls: nothing is written back
    // before the load has ended. One write for all that one event changed.
    if (!bNotInitial || m_unloaded || m_settingsSavePending)
        return;
    m_settingsSavePending = true;
    QTimer::singleShot(0, this, [this] {
        m_settingsSavePending = false;
        if (!m_unloaded)
            SaveUserSettings(false);
    });
}

// ---- the host of the pages ----

int frmMain::currentPage() const { return SSTab1->currentIndex(); }
void frmMain::setCurrentPage(int page) { SSTab1->setCurrentIndex(page); }
void frmMain::closeMainWindow() { close(); }
ActivityReports& frmMain::reports() { return *m_ar; }

// ---- tab switching ----

void frmMain::SetCommandsMenuFor(int page)
{
    // In page order, so the bar never carries two Commands menus at once. Only the shown
    // one owns Alt+C: the bar takes the access key of its hidden entries too, and six
    // entries holding it would take turns at each press.
    for (int i = 0; i < kPageCount; ++i) {
        QAction* entry = m_commands[static_cast<std::size_t>(i)]->menuAction();
        entry->setText(i == page ? QString::fromLatin1(kCommandsCaption) : QStringLiteral("Commands"));
        entry->setVisible(i == page);
    }
}

void frmMain::SetTabStopsFor(int page)
{
    const QString current = QString::fromLatin1(kPageCodes[static_cast<std::size_t>(page)]);
    const QList<QWidget*> controls = findChildren<QWidget*>();
    for (QWidget* w : controls) {
        const QString code = w->objectName().left(2);
        bool coded = false;
        for (const char* c : kPageCodes)
            coded = coded || code == QLatin1String(c);
        if (!coded)
            continue;
        QVariant design = w->property(kDesignFocusPolicy);
        if (!design.isValid()) {
            design = static_cast<int>(w->focusPolicy());
            w->setProperty(kDesignFocusPolicy, design);
        }
        if (code == current) {
            auto policy = static_cast<Qt::FocusPolicy>(design.toInt());
            w->setFocusPolicy((policy & Qt::TabFocus) ? policy : Qt::StrongFocus);
        } else {
            w->setFocusPolicy(Qt::NoFocus);
        }
    }
    // The Tab key never reaches the button that destroys files.
    if (auto* execute = findChild<QWidget*>(QStringLiteral("BU_cmdExecute")))
        execute->setFocusPolicy(Qt::NoFocus);
}

void frmMain::SSTab1_Click(int /*previousTab*/)
{
    const int page = SSTab1->currentIndex();
    SetCommandsMenuFor(page);
    switch (page) {
    case kQuickCleanUp:
        m_qc->RefreshCleanupCookieLists();
        m_qc->ListScriptFiles();
        break;
    case kUrlHound:
        m_uh->UH_txtCacheSearchString->setFocus(Qt::OtherFocusReason);
        break;
    case kCookieEditor:
        m_ce->CE_lstCookieEntries_Click();
        break;
    case kActivityReport:
        m_ar->LoadActivityLogBox();
        break;
    default:
        break;
    }
    SetTabStopsFor(page);
}

void frmMain::SSTab1_GotFocus()
{
    m_ar->ShowSelectedView();
    update();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn && (watched == SSTab1 || watched == SSTab1->tabBar()))
        SSTab1_GotFocus();
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::mnuTabQuickCleanUP_Click() { SSTab1->setCurrentIndex(kQuickCleanUp); }
void frmMain::mnuTabScriptEditor_Click() { SSTab1->setCurrentIndex(kScriptEditor); }
void frmMain::mnuTabUrlHound_Click() { SSTab1->setCurrentIndex(kUrlHound); }
void frmMain::mnuTabCookieEditor_Click() { SSTab1->setCurrentIndex(kCookieEditor); }
void frmMain::mnuTabBleachUtility_Click() { SSTab1->setCurrentIndex(kBleachUtility); }
void frmMain::mnuTabActivityReport_Click() { SSTab1->setCurrentIndex(kActivityReport); }

void frmMain::mnuFileExit_Click()
{
    m_qc->QC_cmdExit_Click();
}

// ---- help menu ----

void frmMain::mnuHelpContents_Click() { OpenWebAddress(m_platform, kWebHelpPage); }
void frmMain::mnuHelpUpgrades_Click() { OpenWebAddress(m_platform, kHomePage); }
void frmMain::mnuHelpProblems_Click() { OpenWebAddress(m_platform, kSupportPage); }
void frmMain::mnuHelpSuggestions_Click() { OpenWebAddress(m_platform, kFeedbackPage); }

frmAbout* frmMain::about() const
{
    return m_about;
}

void frmMain::mnuHelpAbout_Click()
{
    // Not modal and without an owner: the main window stays usable. A second "About"
    // brings the open box to the front.
    if (!m_about) {
        m_about = new frmAbout(m_platform);
        frmAbout* box = m_about;
        connect(box, &frmAbout::unloaded, this, [this, box] {
            if (m_about == box)
                m_about = nullptr;
        });
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

// ---- shut-down ----

void frmMain::closeEvent(QCloseEvent* event)
{
    // Every way of closing the window comes here; the close is never refused.
    event->accept();
    if (!m_unloaded)
        Form_QueryUnload();
}

void frmMain::Form_QueryUnload()
{
    m_unloaded = true;
    hide();
    frmSplash* splash = m_forms ? m_forms->splash() : nullptr;
    if (splash) {
        splash->Timer1->stop();  // it must not show this window again
        ShowPainted(splash);  // on screen while the clean-up runs
    } else {
        QCoreApplication::processEvents();
    }
    SaveUserSettings(true);
    ReleaseGlobals();
    DisarmLastResortCleanUp();  // the shut-down destroys them itself, with its message boxes
    BleachDataFiles(m_platform);
    if (m_forms)
        m_forms->UnloadLogin();
    if (m_about) {
        m_about->hide();
        delete m_about.data();
    }
    m_refreshingCache.reset();
    if (m_forms) {
        m_forms->UnloadSplash();
        m_forms->UnloadMain();
    }
    m_platform.exit->EndNow(0);
}

}  // namespace brimlow
