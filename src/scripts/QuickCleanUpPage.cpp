#include "cookies/MCookieEditor.h"
#include "cookies/CookieSourceDeleter.h"
#include "scripts/QuickCleanUpPage.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <unordered_set>

#include "host/MActivityReport.h"
#include "host/MRunUrlHound.h"
#include "host/PageHost.h"
#include "host/PageKit.h"
#include "host/UserSettingsFile.h"
#include "platform/Errors.h"
#include "platform/Numbers.h"
#include "platform/TextFile.h"
#include "platform/qt/QtText.h"
#include "scripts/MQuickCleanUp.h"
#include "scripts/MScriptEditor.h"

namespace brimlow {

namespace {

// The page icon: a broom over a cookie.
QPixmap PageIcon(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    p.setPen(QPen(QColor(120, 80, 30), 1 * s));
    p.setBrush(QColor(215, 170, 100));
    p.drawEllipse(QPointF(12 * s, 20 * s), 9 * s, 9 * s);
    p.setBrush(QColor(90, 50, 20));
    for (const QPointF c : {QPointF(9, 17), QPointF(15, 19), QPointF(11, 24)})
        p.drawEllipse(QPointF(c.x() * s, c.y() * s), 1.5 * s, 1.5 * s);
    p.setPen(QPen(QColor(140, 100, 40), 2.5 * s));
    p.drawLine(QPointF(29 * s, 2 * s), QPointF(20 * s, 18 * s));
    p.setPen(QPen(QColor(200, 160, 40), 1.5 * s));
    for (int i = -2; i <= 2; ++i)
        p.drawLine(QPointF(20 * s, 18 * s), QPointF((17 + i * 2) * s, 28 * s));
    return pm;
}

template <typename List = QListWidget>
List* MakeList(QWidget* parent, const char* name, QLabel* label, int help, QRect geometry)
{
    auto* l = Make<List>(parent, name, geometry);
    l->setSelectionMode(QAbstractItemView::ExtendedSelection);
    l->setUniformItemSizes(true);
    if (help)
        l->setProperty(kHelpContextId, help);
    if (label) {
        l->setAccessibleName(label->text());
        label->setBuddy(l);
    }
    return l;
}

std::vector<std::string> Texts(const QListWidget* list)
{
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(list->count()));
    for (int i = 0; i < list->count(); ++i)
        out.push_back(ToBytes(list->item(i)->text()));
    return out;
}

// One insertion for the whole list: thousands of cookie sources fill at once.
void Fill(QListWidget* list, const std::vector<std::string>& texts)
{
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(texts.size()));
    for (const auto& t : texts)
        lines << FromBytes(t);
    list->clear();
    list->addItems(lines);
}

// The up-down control: it steps the number in its text box by 10 within 1 to 10000.
class DelaySpinner final : public QSpinBox {
public:
    explicit DelaySpinner(QWidget* parent) : QSpinBox(parent) {}
    QLineEdit* box = nullptr;

    void stepBy(int steps) override
    {
        const auto v = NumericValue(ToBytes(box->text()));
        const double now = v ? RoundHalfEven(*v) : value();
        const double next = std::clamp(now + 10.0 * steps, 1.0, 10000.0);
        setValue(static_cast<int>(next));
        box->setText(QString::number(static_cast<int>(next)));
    }

protected:
    StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }
};

}  // namespace

QuickCleanUpPage::QuickCleanUpPage(PageHost& host, Platform& platform, QWidget* parent)
    : QWidget(parent), m_host(host), m_platform(platform), m_journal(platform), m_run(platform, m_journal, *this)
{
    setObjectName(QStringLiteral("QuickCleanUpPage"));
    BuildControls();
}

void QuickCleanUpPage::BuildControls()
{
    Image3 = Make<QLabel>(this, "Image3", {8, 6, 32, 32});
    Image3->setPixmap(PageIcon(32));
    Image3->setToolTip(QStringLiteral("click to refresh cache"));
    setWindowIcon(QIcon(PageIcon(32)));
    Label8 = MakeLabel(this, "Label8",
                       QStringLiteral("Upon execution all cookies not listed under \"Protected Cookies\" will be "
                                      "deleted, and each of the scripts checked under \"Scripts To Be Executed\" "
                                      "will be run. The default entries are designed to clear the disk and memory "
                                      "caches."),
                       {48, 4, 484, 44});
    Label8->setWordWrap(true);

    // Left and right columns: the two cookie lists.
    Label9 = MakeLabel(this, "Label9", QStringLiteral("Cookies To Be Deleted:"), {8, 52, 200, 16});
    // Thousands of sources are listed at every start: a view of the page's own list, whose
    // rows are made only as they come into view.
    QC_lstCookies = MakeList<TextListView>(this, "QC_lstCookies", Label9, 101, {8, 68, 200, 144});
    Label10 = MakeLabel(this, "Label10", QStringLiteral("Protected Cookies:"), {328, 52, 204, 16});
    QC_lstDelCookies = MakeList(this, "QC_lstDelCookies", Label10, 102, {328, 68, 204, 144});

    // Middle column, upper group.
    QC_cmdAdd = MakeButton(this, "QC_cmdAdd", QStringLiteral("Add --->"),
                           QStringLiteral("Protect the selected cookies from delection."), 105, {216, 68, 104, 24});
    QC_cmdRemove = MakeButton(this, "QC_cmdRemove", QStringLiteral("<--- Remove"),
                              QStringLiteral("Remove the selected cookies from the Protected list."), 106,
                              {216, 94, 104, 24});
    Label39 = MakeLabel(this, "Label39", QStringLiteral("Script Delay"), {216, 120, 104, 16});
    const QString delayTip = QStringLiteral(
        "Set the time delay (in milliseconds) between each script command. Increasing this value may reduce "
        "script errors on slower machines.");
    QC_txtDelay = Make<QLineEdit>(this, "QC_txtDelay", {216, 136, 86, 22});
    QC_txtDelay->setText(QStringLiteral("500"));
    QC_txtDelay->setToolTip(delayTip);
    QC_txtDelay->setAccessibleName(Label39->text());
    Label39->setBuddy(QC_txtDelay);
    auto* spinner = Make<DelaySpinner>(this, "UpDown1", {302, 136, 18, 22});
    spinner->box = QC_txtDelay;
    spinner->setRange(1, 10000);
    spinner->setSingleStep(10);
    spinner->setValue(500);
    spinner->setToolTip(delayTip);
    spinner->setAccessibleName(Label39->text());
    UpDown1 = spinner;
    QC_cmdExecute = MakeButton(this, "QC_cmdExecute", QStringLiteral("Execute"),
                               QStringLiteral("Delete all unportected cookies and execute all scripts marked with a "
                                              "check."),
                               107, {216, 162, 104, 24});
    QC_cmdExit = MakeButton(this, "QC_cmdExit", QStringLiteral("Exit"), QStringLiteral("Exit Brimlow"), 108,
                            {216, 188, 104, 24});

    // Lower half: the scripts, their buttons, the description.
    Label5 = MakeLabel(this, "Label5", QStringLiteral("Scripts To Be Executed:"), {8, 216, 200, 16});
    QC_lstScripts = MakeList(this, "QC_lstScripts", Label5, 103, {8, 232, 200, 144});
    QC_lstScripts->setSelectionMode(QAbstractItemView::SingleSelection);
    QC_cmdEditScript = MakeButton(this, "QC_cmdEditScript", QStringLiteral("Edit Script"),
                                  QStringLiteral("Open the selected script for editing."), 109, {216, 232, 104, 24});
    QC_cmdNewScript = MakeButton(this, "QC_cmdNewScript", QStringLiteral("New Script"),
                                 QStringLiteral("Create a new script."), 110, {216, 258, 104, 24});
    QC_cmdDeleteScript = MakeButton(this, "QC_cmdDeleteScript", QStringLiteral("Delete Script"),
                                    QStringLiteral("Delete the selected script."), 111, {216, 284, 104, 24});
    Label6 = MakeLabel(this, "Label6", QStringLiteral("Script Description:"), {328, 216, 204, 16});
    // The command list lies under the description box, which covers it.
    QC_lstScriptCommands = Make<TextListView>(this, "QC_lstScriptCommands", {328, 232, 204, 144});
    QC_lstScriptCommands->setSelectionMode(QAbstractItemView::SingleSelection);
    QC_lstScriptCommands->setAccessibleName(QStringLiteral("Script Commands"));
    QC_rtfScriptDescription = Make<QPlainTextEdit>(this, "QC_rtfScriptDescription", {328, 232, 204, 144});
    QC_rtfScriptDescription->setTabChangesFocus(true);
    QC_rtfScriptDescription->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QC_rtfScriptDescription->setProperty(kHelpContextId, 104);
    QC_rtfScriptDescription->setAccessibleName(Label6->text());
    Label6->setBuddy(QC_rtfScriptDescription);
    QC_rtfScriptDescription->raise();

    Label7 = MakeLabel(this, "Label7",
                       QStringLiteral("   This product is is no way endorsed by, or affiliated with Microsoft or "
                                      "Netscape Communications Corporation. Netscape\u00ae is a registered trademark "
                                      "of Netscape Communications Corporation."),
                       {8, 380, 524, 46});
    Label7->setWordWrap(true);

    // The page's focus order.
    const QList<QWidget*> order{QC_lstCookies,   QC_lstDelCookies, QC_lstScripts,      QC_lstScriptCommands,
                                QC_cmdAdd,       QC_cmdRemove,     QC_cmdExecute,      QC_cmdExit,
                                QC_cmdEditScript, QC_cmdNewScript, QC_cmdDeleteScript, QC_rtfScriptDescription,
                                QC_txtDelay,     UpDown1};
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);

    connect(QC_cmdAdd, &QPushButton::clicked, this, [this] { QC_cmdAdd_Click(); });
    connect(QC_cmdRemove, &QPushButton::clicked, this, [this] { QC_cmdRemove_Click(); });
    connect(QC_cmdExecute, &QPushButton::clicked, this, [this] { QC_cmdExecute_Click(); });
    connect(QC_cmdExit, &QPushButton::clicked, this, [this] { QC_cmdExit_Click(); });
    connect(QC_cmdEditScript, &QPushButton::clicked, this, [this] { QC_cmdEditScript_Click(); });
    connect(QC_cmdNewScript, &QPushButton::clicked, this, [this] { QC_cmdNewScript_Click(); });
    connect(QC_cmdDeleteScript, &QPushButton::clicked, this, [this] { QC_cmdDeleteScript_Click(); });
    connect(QC_lstCookies, &TextListView::rowDoubleClicked, this, [this] { QC_lstCookies_DblClick(); });
    connect(QC_lstDelCookies, &QListWidget::itemDoubleClicked, this, [this] { QC_lstDelCookies_DblClick(); });
    // The description follows the entry the user moves to, by click, arrow key or tick.
    connect(QC_lstScripts, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* now) {
        if (now && !m_listQuiet)
            QC_lstScripts_Click();
    });
    connect(QC_lstScripts, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) { ScriptTicked(item); });
    // The tooltip handlers: a click shows the entry's whole text.
    connect(QC_lstCookies, &TextListView::rowClicked, this, [this] {
        if (QC_lstCookies->currentRow() >= 0)
            QC_lstCookies->setToolTip(QC_lstCookies->text(QC_lstCookies->currentRow()));
    });
    connect(QC_lstDelCookies, &QListWidget::itemClicked, QC_lstDelCookies, [l = QC_lstDelCookies] {
        if (QListWidgetItem* it = l->currentItem())
            l->setToolTip(it->text());
    });
    connect(QC_lstScriptCommands, &TextListView::rowClicked, this, [this](int row) {
        QC_lstScriptCommands->setToolTip(QC_lstScriptCommands->model()->index(row, 0).data().toString());
    });
}

void QuickCleanUpPage::Image3_MouseUp()
{
    if (m_cookies)
        m_cookies->RefreshCookies();
    RefreshCleanupCookieLists();
}

// ---- the main window ----

bool QuickCleanUpPage::StartupComplete() const { return m_host.notInitial(); }
frmRefreshingCache* QuickCleanUpPage::Progress() const { return m_host.refreshingCache(); }
void QuickCleanUpPage::ShowScriptEditor() { m_host.setCurrentPage(PageHost::kScriptEditor); }

void QuickCleanUpPage::SetCookieEditor(CookieSourceDeleter* cookies)
{
    m_cookies = cookies;
    m_run.SetCookies(cookies);
}

void QuickCleanUpPage::SetScriptRunner(ScriptRunner* scripts)
{
    if (m_scripts)
        m_scripts->SetRunListener(nullptr);
    m_scripts = scripts;
    m_run.SetScripts(scripts);
    if (m_scripts)
        m_scripts->SetRunListener(this);
}

bool QuickCleanUpPage::Allowed(RunRequest request) const
{
    return JudgeRunRequest(request, m_scripts && m_scripts->IsPlaying(), m_run.UnderWay()) == RunVerdict::Allow;
}

std::string QuickCleanUpPage::ScriptName(const QListWidgetItem* entry)
{
    // The name's bytes as the folder listed them; the shown text may not give them back.
    const QByteArray name = entry->data(Qt::UserRole).toByteArray();
    if (name.isEmpty())
        return ToBytes(entry->text());
    return std::string(name.constData(), static_cast<std::size_t>(name.size()));
}

std::filesystem::path QuickCleanUpPage::ScriptPath(const QListWidgetItem* entry) const
{
    return m_platform.programFolder / ScriptName(entry);
}

// ---- the lists ----

void QuickCleanUpPage::RefreshCleanupCookieLists()
{
    // Only a dump of a healthy store, read whole, may tell that a protected source has gone.
    // Read for this page alone: the Cookie Editor's lists show the sources it loaded itself.
    DumpLoad outcome = DumpLoad::Complete;
    std::vector<std::string> sources = ReadCookieDumpSources(m_platform, &outcome);
    const bool healthy = outcome == DumpLoad::Complete && LastUrlHoundRunHealthy();
    CleanupCookieLists lists = RebuildCleanupCookieLists(std::move(sources), Texts(QC_lstDelCookies), healthy);
    m_toDelete = std::move(lists.toDelete);
    ShowToDelete();
    if (lists.protect.size() != static_cast<std::size_t>(QC_lstDelCookies->count()))
        Fill(QC_lstDelCookies, lists.protect);
}

void QuickCleanUpPage::ListScriptFiles()
{
    std::vector<textfile::FolderFile> files;
    try {
        files = textfile::FolderFiles(m_platform.programFolder);
    } catch (const std::exception&) {
        return;  // an unreadable folder adds nothing
    }
    std::unordered_set<std::string> listed;
    for (int i = 0; i < QC_lstScripts->count(); ++i)
        listed.insert(ScriptName(QC_lstScripts->item(i)));
    const QScopedValueRollback quiet(m_listQuiet, true);
    for (const auto& f : files) {
        if (!IsScriptFileName(f.name) || listed.count(f.name))
            continue;
        auto* item = new QListWidgetItem(FromBytes(f.name));
        item->setData(Qt::UserRole, QByteArray(f.name.data(), static_cast<qsizetype>(f.name.size())));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        QC_lstScripts->addItem(item);
        listed.insert(f.name);
    }
}

void QuickCleanUpPage::ShowToDelete()
{
    QC_lstCookies->Show(m_toDelete.size(), [this](std::size_t i) {
        return i < m_toDelete.size() ? std::string_view(m_toDelete[i]) : std::string_view();
    });
}

// Each move goes from the last entry down, so the moved entries arrive in reverse order.
void QuickCleanUpPage::ProtectSelected()
{
    if (QC_lstCookies->currentRow() < 0)
        return;
    for (int i = QC_lstCookies->count() - 1; i >= 0; --i) {
        if (!QC_lstCookies->isRowSelected(i))
            continue;
        QC_lstDelCookies->addItem(FromBytes(m_toDelete[static_cast<std::size_t>(i)]));
        m_toDelete.erase(m_toDelete.begin() + i);
        QC_lstCookies->RemoveRow(i);
    }
}

void QuickCleanUpPage::UnprotectSelected()
{
    if (QC_lstDelCookies->currentRow() < 0)
        return;
    for (int i = QC_lstDelCookies->count() - 1; i >= 0; --i) {
        if (!QC_lstDelCookies->item(i)->isSelected())
            continue;
        m_toDelete.push_back(ToBytes(QC_lstDelCookies->item(i)->text()));
        QC_lstCookies->InsertRow(QC_lstCookies->count());
        delete QC_lstDelCookies->takeItem(i);
    }
}

void QuickCleanUpPage::QC_cmdAdd_Click() { ProtectSelected(); }
void QuickCleanUpPage::QC_cmdRemove_Click() { UnprotectSelected(); }
void QuickCleanUpPage::QC_lstCookies_DblClick() { QC_cmdAdd_Click(); }
void QuickCleanUpPage::QC_lstDelCookies_DblClick() { QC_cmdRemove_Click(); }

// ---- scripts ----

void QuickCleanUpPage::ScriptTicked(QListWidgetItem* item)
{
    // A tick on another entry than the current one makes it current, which shows it; the
    // current entry is on show already.
    if (!m_listQuiet && item && item != QC_lstScripts->currentItem())
        QC_lstScripts->setCurrentItem(item);
}

void QuickCleanUpPage::QC_lstScripts_Click()
{
    QListWidgetItem* item = QC_lstScripts->currentItem();
    if (!item)
        return;
    QC_lstScripts->setToolTip(item->text());
    const auto path = ScriptPath(item);
    if (!textfile::FileExists(path)) {
        m_platform.dialogs->MsgBox(MissingScriptMessage(path.string()), kFileIoErrorTitle, MsgBoxButtons::Ok,
                                   MsgBoxIcon::Critical);
        return;
    }
    // The list lets go of the script it shows before the next one is read.
    QC_lstScriptCommands->Show(0, {});
    m_shownScript = ScriptText();
    try {
        m_shownScript = ReadScriptText(path);
    } catch (const RuntimeError& e) {
        m_platform.dialogs->MsgBox("Error " + std::to_string(e.number()) + " reading the script.\r\n" + path.string(),
                                   kFileIoErrorTitle, MsgBoxButtons::Ok, MsgBoxIcon::Critical);
        return;
    }
    // A file that ends early shows what it holds.
    // One copy of the text at a time on the way into the box.
    QString box;
    {
        std::string description = m_shownScript.Description();
        m_shownScript.KeepOnlyCommands();
        if (!description.empty())
            box = ToBoxText(description += "\r\n");
    }
    QC_rtfScriptDescription->setPlainText(box);
    box = QString();
    QC_lstScriptCommands->Show(m_shownScript.commandCount(),
                               [this](std::size_t row) { return m_shownScript.command(row); });
}

void QuickCleanUpPage::QC_cmdEditScript_Click()
{
    // The editor's script is the run's while one is under way.
    if (!Allowed(RunRequest::EditScript))
        return;
    QListWidgetItem* item = QC_lstScripts->currentItem();
    if (!item)
        return;
    // The editor takes the path also when the file has gone, and says so.
    if (m_scripts)
        m_scripts->LoadScriptFile(ScriptPath(item));
    ShowScriptEditor();
}

void QuickCleanUpPage::QC_cmdNewScript_Click()
{
    if (!Allowed(RunRequest::NewScript))
        return;
    // Name, target and commands go; the description the editor shows stays.
    if (m_scripts)
        m_scripts->EmptyScript();
    ShowScriptEditor();
    if (m_scripts)
        m_scripts->ClearCommand();
}

void QuickCleanUpPage::QC_cmdDeleteScript_Click()
{
    // A clean-up under way reads this list.
    if (!Allowed(RunRequest::DeleteScript))
        return;
    QListWidgetItem* item = QC_lstScripts->currentItem();
    if (!item) {
        m_platform.dialogs->MsgBox("   You must first select a script to be deleted.", "Selection Error",
                                   MsgBoxButtons::Ok, MsgBoxIcon::None);
        return;
    }
    Log("Bleach Utility: [Delete Script] clicked\r\n");
    const auto answer = m_platform.dialogs->MsgBox(
        "   Are you sure you want to permanantly remove this script from your system?", "Delete Confirmation",
        MsgBoxButtons::YesNo, MsgBoxIcon::None);
    if (answer != MsgBoxAnswer::Yes) {
        Log("Bleach Utility: [Delete Script] cancelled by user\r\n");
        return;
    }
    Log("Bleach Utility: [Delete Script] confirmed by user\r\n");
    const auto path = ScriptPath(item);
    try {
        textfile::DeleteFile(path, true);
    } catch (const RuntimeError& e) {
        // A file that has already gone only loses its entry; anything else keeps it.
        if (e.number() != err::FileNotFound) {
            m_platform.dialogs->MsgBox("Error " + std::to_string(e.number()) +
                                           ": the script could not be deleted.\r\n" + path.string(),
                                       kFileIoErrorTitle, MsgBoxButtons::Ok, MsgBoxIcon::Critical);
            return;
        }
    }
    const QScopedValueRollback quiet(m_listQuiet, true);
    delete QC_lstScripts->takeItem(QC_lstScripts->row(item));
}

void QuickCleanUpPage::QC_cmdExit_Click()
{
    m_host.closeMainWindow();
}

// ---- the settings file ----

std::vector<std::string> QuickCleanUpPage::ProtectedCookies() const { return Texts(QC_lstDelCookies); }

std::vector<std::string> QuickCleanUpPage::CheckedScripts() const
{
    std::vector<std::string> out;
    for (int i = 0; i < QC_lstScripts->count(); ++i)
        if (QC_lstScripts->item(i)->checkState() == Qt::Checked)
            out.push_back(ScriptName(QC_lstScripts->item(i)));
    return out;
}

std::string QuickCleanUpPage::DelayText() const { return ToBytes(QC_txtDelay->text()); }

void QuickCleanUpPage::AddProtectedCookies(const std::vector<std::string>& sources)
{
    for (const auto& s : sources)
        QC_lstDelCookies->addItem(FromBytes(s));
}

void QuickCleanUpPage::SetDelayText(const std::string& text) { QC_txtDelay->setText(FromBytes(text)); }

void QuickCleanUpPage::RestoreScriptChecks()
{
    const QScopedValueRollback quiet(m_listQuiet, true);
    for (int i = 0; i < QC_lstScripts->count(); ++i) {
        QListWidgetItem* it = QC_lstScripts->item(i);
        it->setCheckState(IsScriptSelected(ScriptName(it)) ? Qt::Checked : Qt::Unchecked);
    }
}

void QuickCleanUpPage::Log(const std::string& text)
{
    AppendActivityLog(m_platform, text);
}

}  // namespace brimlow
