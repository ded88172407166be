#include "cookies/CookieEditorPage.h"

#include <QApplication>
#include <QDateEdit>
#include <QDateTime>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QPlainTextEdit>
#include <chrono>
#include <optional>
#include <unordered_set>
#include <utility>

#include "host/MActivityReport.h"
#include "host/MRunUrlHound.h"
#include "host/PageHost.h"
#include "host/PageIcons.h"
#include "host/PageKit.h"
#include "host/TextListView.h"
#include "host/frmRefreshingCache.h"
#include "platform/Errors.h"
#include "platform/FileTime.h"
#include "platform/TextFile.h"
#include "platform/inetcache/InetCache.h"
#include "platform/qt/QtText.h"

namespace brimlow {

namespace {

constexpr int kSlotRole = Qt::UserRole;

// Seconds since `start`, added to `sum`.
struct Stopwatch {
    explicit Stopwatch(double& sum) : m_sum(sum), m_start(std::chrono::steady_clock::now()) {}
    ~Stopwatch() { m_sum += std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count(); }
    Stopwatch(const Stopwatch&) = delete;
    Stopwatch& operator=(const Stopwatch&) = delete;
    double& m_sum;
    std::chrono::steady_clock::time_point m_start;
};

template <typename List = QListWidget>
List* MakeList(QWidget* parent, const char* name, QRect geometry, int help)
{
    auto* l = Make<List>(parent, name, geometry);
    l->setSelectionMode(QAbstractItemView::SingleSelection);
    l->setUniformItemSizes(true);
    l->setProperty(kHelpContextId, help);
    return l;
}

QPlainTextEdit* MakeHiddenBuffer(QWidget* parent, const char* name, QRect geometry)
{
    auto* t = Make<QPlainTextEdit>(parent, name, geometry);
    t->setFocusPolicy(Qt::NoFocus);
    t->hide();
    return t;
}

// A source list's entry is read from the loaded table, by its bytes: a name that is no text
// of the locale shows with replacement characters, and must not be looked for by what it
// shows.
std::string RowBytes(const TextListView* list, int row)
{
    return std::string(list->bytes(row));
}

std::size_t SlotOf(const QListWidgetItem* item)
{
    return static_cast<std::size_t>(item->data(kSlotRole).toULongLong());
}

// The date a cookie expires on, as the picker can show it.
std::optional<QDate> ExpiryDate(std::uint64_t fileTime)
{
    const auto t = fileTime ? FileTimeToSystemTime(fileTime) : std::nullopt;
    if (!t)
        return std::nullopt;
    if (t->year > 9999)
        return QDate(9999, 12, 31);
    return QDate(t->year, t->month, t->day);
}

void AddSlotItem(QListWidget* list, const std::string& text, std::size_t slot)
{
    auto* item = new QListWidgetItem(FromBytes(text));
    item->setData(kSlotRole, QVariant::fromValue<qulonglong>(slot));
    list->addItem(item);
}

}  // namespace

CookieEditorPage::CookieEditorPage(PageHost& host, Platform& platform, QWidget* parent)
    : QWidget(parent), m_host(host), m_platform(platform)
{
    setObjectName(QStringLiteral("CookieEditorPage"));
    BuildControls();
}

void CookieEditorPage::BuildControls()
{
    Image2 = Make<QLabel>(this, "Image2", {8, 6, 32, 32});
    Image2->setPixmap(CookiePageIcon(32));
    setWindowIcon(QIcon(CookiePageIcon(32)));
    Label4 = MakeLabel(this, "Label4",
                       QStringLiteral("WARNING:   This utility is intended to be used by persons knowledgable about "
                                      "the use,\nstructure, and implimentation of cookies. Unless you know exactly "
                                      "what\nyou are dooing it is unadvisable that you utilize this utility!"),
                       {44, 2, 494, 42});
    // Three long lines of the stored caption: a smaller face keeps each on one line.
    QFont warning = Label4->font();
    warning.setPointSizeF(warning.pointSizeF() * 0.88);
    Label4->setFont(warning);
    CE_txtTemp = MakeHiddenBuffer(this, "CE_txtTemp", {48, 2, 100, 20});

    Frame5 = Make<QGroupBox>(this, "Frame5", {8, 44, 524, 42});
    Frame5->setTitle(QStringLiteral("Viewing Options"));
    CE_optViewBySource = Make<QRadioButton>(Frame5, "CE_optViewBySource", {12, 16, 240, 20});
    CE_optViewBySource->setText(QStringLiteral("View cookies by source"));
    CE_optViewBySource->setProperty(kHelpContextId, 401);
    CE_optViewBySource->setChecked(true);
    CE_optViewByFile = Make<QRadioButton>(Frame5, "CE_optViewByFile", {272, 16, 240, 20});
    CE_optViewByFile->setText(QStringLiteral("View cookies by file"));
    CE_optViewByFile->setProperty(kHelpContextId, 402);

    // Left column: the sources (or files), then the source and name boxes.
    Label26 = MakeLabel(this, "Label26", QStringLiteral("Cookie Sources:"), {8, 90, 258, 16});
    // Views of the loaded cookie sources: thousands of sources list at once.
    CE_lstCookieSources = MakeList<TextListView>(this, "CE_lstCookieSources", {8, 106, 258, 204}, 403);
    CE_lstCookieFiles = MakeList<TextListView>(this, "CE_lstCookieFiles", {8, 106, 258, 204}, 404);
    CE_lstCookieFiles->hide();
    NameFromLabel(CE_lstCookieSources, Label26);
    CE_lstCookieFiles->setAccessibleName(QStringLiteral("Cookie Sources:"));
    CE_txtCookieSearch = MakeHiddenBuffer(this, "CE_txtCookieSearch", {8, 250, 258, 60});

    // Right column: the active and expired cookies, then the value and the expiry date.
    Label27 = MakeLabel(this, "Label27", QStringLiteral("Active Entries:"), {276, 90, 256, 16});
    CE_lstCookieEntries = MakeList(this, "CE_lstCookieEntries", {276, 106, 256, 90}, 407);
    NameFromLabel(CE_lstCookieEntries, Label27);
    Label33 = MakeLabel(this, "Label33", QStringLiteral("Expired Entries:"), {276, 200, 256, 16});
    CE_lstExpiredCookies = MakeList(this, "CE_lstExpiredCookies", {276, 216, 256, 94}, 408);
    NameFromLabel(CE_lstExpiredCookies, Label33);

    Label29 = MakeLabel(this, "Label29", QStringLiteral("Cookie Source:"), {8, 312, 258, 16});
    CE_txtSource = Make<QLineEdit>(this, "CE_txtSource", {8, 328, 258, 22});
    CE_txtSource->setProperty(kHelpContextId, 405);
    NameFromLabel(CE_txtSource, Label29);
    Label28 = MakeLabel(this, "Label28", QStringLiteral("Cookie Name:"), {8, 354, 258, 16});
    CE_txtCookieName = Make<QPlainTextEdit>(this, "CE_txtCookieName", {8, 370, 258, 24});
    CE_txtCookieName->setTabChangesFocus(true);
    CE_txtCookieName->setLineWrapMode(QPlainTextEdit::NoWrap);
    CE_txtCookieName->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    CE_txtCookieName->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    CE_txtCookieName->document()->setDocumentMargin(2);
    CE_txtCookieName->setProperty(kHelpContextId, 406);
    NameFromLabel(CE_txtCookieName, Label28);

    Label31 = MakeLabel(this, "Label31", QStringLiteral("Cookie Value:"), {276, 312, 256, 16});
    CE_txtCookieValue = Make<QLineEdit>(this, "CE_txtCookieValue", {276, 328, 256, 22});
    CE_txtCookieValue->setProperty(kHelpContextId, 409);
    NameFromLabel(CE_txtCookieValue, Label31);
    Label32 = MakeLabel(this, "Label32", QStringLiteral("Date File Expires:"), {276, 354, 256, 16});
    CE_txtDateExpires = Make<QLineEdit>(this, "CE_txtDateExpires", {276, 370, 256, 24});
    DTPicker1 = Make<QDateEdit>(this, "DTPicker1", {276, 370, 256, 24});
    DTPicker1->setCalendarPopup(true);
    DTPicker1->setDateRange(QDate(1601, 1, 1), QDate(9999, 12, 31));
    DTPicker1->setDisplayFormat(QStringLiteral("M/d/yyyy"));
    DTPicker1->setProperty(kHelpContextId, 410);
    NameFromLabel(DTPicker1, Label32);
    CE_txtDateExpires->lower();  // under the picker: never seen

    const int w = 101, h = 26, y = 398;  // the row ends 5 px above the client area's bottom
    auto x = [](int i) { return 8 + i * 105 + (i > 2 ? 1 : 0); };
    CE_cmdRefresh = MakeButton(this, "CE_cmdRefresh", QStringLiteral("Refresh"), QStringLiteral("Refresh the cache data."),
                               411, {x(0), y, w, h});
    CE_cmdSetCookie = MakeButton(this, "CE_cmdSetCookie", QStringLiteral("Set Cookie"),
                                 QStringLiteral("Enter the current cookie into the cache."), 412, {x(1), y, w, h});
    CE_cmdExit = MakeButton(this, "CE_cmdExit", QStringLiteral("Exit"), QStringLiteral("Exit Brimlow"), 413,
                            {x(2), y, w, h});
    CE_cmdDeleteCookie = MakeButton(this, "CE_cmdDeleteCookie", QStringLiteral("Delete Cookie"),
                                    QStringLiteral("Remove the current cookie from the cache."), 414, {x(3), y, w, h});
    CE_cmdDeleteFile =
        MakeButton(this, "CE_cmdDeleteFile", QStringLiteral("Delete File"),
                   QStringLiteral("Remove all cookie entries in the current Source/File from the cache."), 415,
                   {x(4), y, w, h});

    const QList<QWidget*> order = {CE_optViewBySource, CE_optViewByFile,  CE_lstCookieSources, CE_lstCookieFiles,
                                   CE_txtSource,       CE_txtCookieName,  CE_lstCookieEntries, CE_lstExpiredCookies,
                                   CE_txtCookieValue,  CE_cmdRefresh,     CE_cmdSetCookie,     CE_cmdExit,
                                   CE_cmdDeleteCookie, CE_cmdDeleteFile,  DTPicker1,           CE_txtDateExpires};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    SetPickerToday(0);
    DTPicker1_Change();

    connect(CE_optViewBySource, &QRadioButton::clicked, this, [this] { CE_optViewBySource_Click(); });
    connect(CE_optViewByFile, &QRadioButton::clicked, this, [this] { CE_optViewByFile_Click(); });
    connect(CE_lstCookieSources, &TextListView::currentRowChanged, this, [this](int) { CE_lstCookieSources_Click(); });
    connect(CE_lstCookieSources, &TextListView::rowClicked, this, [this](int) { CE_lstCookieSources_Click(); });
    connect(CE_lstCookieFiles, &TextListView::currentRowChanged, this, [this](int) { CE_lstCookieFiles_Click(); });
    connect(CE_lstCookieFiles, &TextListView::rowClicked, this, [this](int) { CE_lstCookieFiles_Click(); });
    connect(CE_lstCookieEntries, &QListWidget::currentRowChanged, this, [this](int) { CE_lstCookieEntries_Click(); });
    connect(CE_lstCookieEntries, &QListWidget::itemClicked, this,
            [this](QListWidgetItem*) { CE_lstCookieEntries_Click(); });
    connect(CE_lstExpiredCookies, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            CE_lstExpiredCookies_Click();
    });
    connect(CE_lstExpiredCookies, &QListWidget::itemClicked, this,
            [this](QListWidgetItem*) { CE_lstExpiredCookies_Click(); });
    connect(DTPicker1, &QDateEdit::dateChanged, this, [this](QDate) { DTPicker1_Change(); });
    CE_txtSource->installEventFilter(this);
    CE_txtCookieValue->installEventFilter(this);
    CE_txtCookieName->viewport()->installEventFilter(this);
    connect(CE_cmdRefresh, &QPushButton::clicked, this, [this] { CE_cmdRefresh_Click(); });
    connect(CE_cmdSetCookie, &QPushButton::clicked, this, [this] { CE_cmdSetCookie_Click(); });
    connect(CE_cmdExit, &QPushButton::clicked, this, [this] { CE_cmdExit_Click(); });
    connect(CE_cmdDeleteCookie, &QPushButton::clicked, this, [this] { CE_cmdDeleteCookie_Click(); });
    connect(CE_cmdDeleteFile, &QPushButton::clicked, this, [this] { CE_cmdDeleteFile_Click(); });
}

bool CookieEditorPage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == CE_txtSource)
            CE_txtSource_Click();
        else if (watched == CE_txtCookieValue)
            CE_txtCookieValue_Click();
        else if (watched == CE_txtCookieName->viewport())
            CE_txtCookieName_Click();
    }
    return QWidget::eventFilter(watched, event);
}

std::string CookieEditorPage::SourceText() const
{
    return ShownBytes(CE_txtSource, CE_txtSource->text());
}

std::string CookieEditorPage::CookieNameBytes(const QListWidget* list, int row) const
{
    const QListWidgetItem* item = row >= 0 ? list->item(row) : nullptr;
    if (!item)
        return {};
    const std::size_t slot = SlotOf(item);
    if (list == CE_lstCookieEntries)
        return slot < LiveCookies().entries.size() ? LiveCookies().entries[slot].Name : std::string();
    return slot < FileCookies().size() ? FileCookies()[slot].Name : std::string();
}

void CookieEditorPage::ShowCookie(const std::string& name, const std::string& value)
{
    CE_txtCookieName->setPlainText(ShowBytes(CE_txtCookieName, name));
    CE_txtCookieValue->setText(ShowBytes(CE_txtCookieValue, value));
    // The picker shows the cookie's own expiry, as its file gives it.
    m_shownExpiry.reset();
    for (const FileCookie& c : FileCookies())
        if (c.Name == name) {
            m_shownExpiry = ExpiryDate(c.Expiry);
            break;
        }
    if (m_shownExpiry)
        DTPicker1->setDate(*m_shownExpiry);
}

void CookieEditorPage::ShowShownCookiesDate()
{
    if (m_shownExpiry && !CE_txtCookieName->toPlainText().isEmpty())
        DTPicker1->setDate(*m_shownExpiry);
    else
        SetPickerToday(0);
}

void CookieEditorPage::SetPickerToday(int offsetDays)
{
    const auto now = m_platform.clock ? m_platform.clock->Now() : std::chrono::system_clock::now();
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count());
    DTPicker1->setDate(when.date().addDays(offsetDays));
}

// ---- refresh and views ----

void CookieEditorPage::CE_cmdRefresh_Click()
{
    if (Busy())
        return;  // the deletion refreshes the page itself
    RefreshCookies();
    QCoreApplication::processEvents();
}

void CookieEditorPage::RefreshCookies()
{
    frmRefreshingCache* progress = m_host.refreshingCache();
    if (m_host.currentPage() == PageHost::kCookieEditor && progress && !progress->isVisible()) {
        if (m_host.notInitial())
            progress->show();
        QCoreApplication::processEvents();
    }
    std::string text;
    {
        WaitCursor wait;
        {
            Stopwatch run(figures.urlHoundSeconds);
            RunUrlHound(m_platform, true);
            ++figures.urlHoundRuns;
        }
        if (m_host.currentPage() == PageHost::kCookieEditor && !m_host.refreshStolen() && progress)
            progress->hide();

        // The source shown, before the load: the lists read the table the load replaces.
        text = RememberedSource();
        DumpLoad outcome;
        {
            Stopwatch load(figures.dumpLoadSeconds);
            outcome = LoadCookieDump(m_platform);
        }
        if (outcome == DumpLoad::Unreadable)
            m_platform.dialogs->MsgBox(
                "Error opening file: " + textfile::InFolder(m_platform.programFolder, kCookieDumpName).string(),
                kProgramTitle, MsgBoxButtons::Ok, MsgBoxIcon::None);

        Stopwatch refill(figures.listRefillSeconds);
        // Filled without their click handlers: the selection below shows the source.
        // The lists read the loaded table; a row past its end (while a source leaves it) reads
        // empty.
        for (TextListView* list : {CE_lstCookieSources, CE_lstCookieFiles})
            list->blockSignals(true);
        CE_lstCookieSources->Show(iCookieCount(), [](std::size_t i) {
            const auto& entries = CookieEntries();
            return i < entries.size() ? std::string_view(entries[i].Source) : std::string_view();
        });
        CE_lstCookieFiles->Show(iCookieCount(), [](std::size_t i) {
            const auto& entries = CookieEntries();
            return i < entries.size() ? std::string_view(entries[i].FileName) : std::string_view();
        });
        for (TextListView* list : {CE_lstCookieSources, CE_lstCookieFiles})
            list->blockSignals(false);
    }
    ShowRemembered(text);
}

std::string CookieEditorPage::RememberedSource() const
{
    const int k = CE_optViewByFile->isChecked() ? CE_lstCookieFiles->currentRow() : CE_lstCookieSources->currentRow();
    if (CE_lstCookieEntries->count() > 0 || CE_lstExpiredCookies->count() > 0)
        return RowBytes(CE_lstCookieSources, k);
    return {};
}

void CookieEditorPage::ShowRemembered(const std::string& text)
{
    std::size_t match = 0;
    bool remembered = false;
    for (std::size_t i = 0; !text.empty() && i < iCookieCount(); ++i) {
        if (CookieEntries()[i].Source == text) {
            remembered = true;
            match = i;
            break;
        }
    }
    // The source selected before, found by its text, else the first; each selection runs
    // the click handler of the list selected.
    TextListView* visible = CE_optViewByFile->isChecked() ? CE_lstCookieFiles : CE_lstCookieSources;
    m_shownRow = -1;
    if (remembered) {
        visible->setCurrentRow(static_cast<int>(match));
        if (visible == CE_lstCookieSources)
            QCoreApplication::processEvents();
    }
    m_shownRow = -1;
    if (visible->currentRow() < 0 && visible->count() > 0)
        visible->setCurrentRow(0);
    // The source the selection has just shown is shown once: asking the store again in the
    // same refresh would give the same lists.
    if (visible != CE_lstCookieSources || m_shownRow < 0 || m_shownRow != CE_lstCookieSources->currentRow())
        CE_lstCookieSources_Click();
    m_shownRow = -1;
    if (iCookieCount() == 0) {
        CE_txtCookieName->clear();
        CE_txtSource->clear();
        CE_txtCookieValue->clear();
    }
}

CookieEditorPage::~CookieEditorPage() = default;

void CookieEditorPage::BeginDeletionPass()
{
    m_inPass = true;
    m_passChanged = false;
    m_storeSession = std::make_unique<inetcache::StoreSession>();
}

void CookieEditorPage::EndDeletionPass()
{
    m_inPass = false;
    // The store as other programs find it, before the dump tool reads it.
    std::string failure;
    if (m_storeSession && !m_storeSession->End(failure))
        AppendActivityLog(m_platform, "DELETION ERROR:\r\nNot saved to the disk, so a crash may bring deleted "
                                      "cookies back (" + LogSafe(failure) + ")\r\n\r\n");
    m_storeSession.reset();
    if (std::exchange(m_passChanged, false))
        RefreshCookies();  // the dump and the lists as the store now stands
}

void CookieEditorPage::RefreshAfterChange()
{
    if (!m_inPass) {
        RefreshCookies();
        return;
    }
    // Only the shown source has changed in the store. The store drops a source's entry
    // together with its cookie file when its last cookie goes: then it leaves the lists, as
    // a refresh would leave it out.
    m_passChanged = true;
    const std::string text = RememberedSource();
    const std::string source = SourceText();
    for (std::size_t i = 0; i < iCookieCount(); ++i) {
        if (CookieEntries()[i].Source == source) {
            LookAgain(i);
            break;
        }
    }
    ShowRemembered(text);
}

bool CookieEditorPage::LookAgain(std::size_t index)
{
    inetcache::CacheEntry stored;
    if (inetcache::FindCookieSource(CookieEntries()[index].Source, stored, inetcache::StoreAccessOf(m_platform))) {
        UpdateCookieEntry(index, stored);
        CE_lstCookieFiles->RowChanged(static_cast<int>(index));
        return true;
    }
    ForgetCookieEntry(index);
    for (TextListView* list : {CE_lstCookieSources, CE_lstCookieFiles}) {
        list->blockSignals(true);
        list->RemoveRow(static_cast<int>(index));
        list->setCurrentRow(-1);
        list->blockSignals(false);
    }
    return false;
}

void CookieEditorPage::CE_lstCookieSources_Click()
{
    ShowSource(CE_lstCookieSources, false);
}

void CookieEditorPage::CE_lstCookieFiles_Click()
{
    ShowSource(CE_lstCookieFiles, true);
}

void CookieEditorPage::ShowSource(TextListView* list, bool byFile)
{
    Stopwatch show(figures.showSourceSeconds);
    const int k = list->currentRow();
    if (k >= 0 && static_cast<std::size_t>(k) < iCookieCount()) {
        list->setToolTip(list->text(k));
        const std::string source = RowBytes(CE_lstCookieSources, k);
        CE_txtSource->setText(ShowBytes(CE_txtSource, source));
        CE_txtCookieSearch->setPlainText(FromBytes(source));
        bool exists = textfile::FileExists(std::filesystem::path(CookieEntries()[static_cast<std::size_t>(k)].FileName));
        // The dump may be older than the store: another program may have changed the source
        // (its cookies are in another file now) or deleted it.
        if (!exists && !CookieSourceUser(source).empty()) {
            inetcache::CacheEntry stored;
            if (inetcache::FindCookieSource(source, stored, inetcache::StoreAccessOf(m_platform))) {
                UpdateCookieEntry(static_cast<std::size_t>(k), stored);
                CE_lstCookieFiles->RowChanged(k);
                exists = textfile::FileExists(std::filesystem::path(stored.localFileName.value_or(std::string())));
            }
        }
        const CookieEntry& entry = CookieEntries()[static_cast<std::size_t>(k)];
        const std::filesystem::path file(entry.FileName);
        if (!exists && (m_inPass || m_deleting) && !CookieSourceUser(source).empty()) {
            // Gone from the store, or its file gone, while a deletion looks at it: the
            // deletion says so once and goes on; no cookie of another source is shown under it.
            ParseCookieString("");
            LoadCookieFile({});
        } else if (exists) {
            std::string firstName;
            try {
                textfile::LineReader in(file);
                in.ReadLine(firstName);
            } catch (const RuntimeError&) {
                firstName.clear();  // unreadable: the store is asked without a name
            }
            const std::string live(TrimBlanks(GetCookie(m_platform, LiveCookieUrl(source), firstName)));
            CE_txtTemp->setPlainText(FromBytes(live));
            ParseCookieString(live);
            LoadCookieFile(file);
            if (const auto d = RecognizeDumpDate(entry.Expires))
                DTPicker1->setDate(QDate(d->year, d->month, d->day));
        } else {
            m_platform.dialogs->MsgBox("The requested file does not exist.\r\nPlease check the path and try again.\r\n" +
                                           std::string(entry.FileName),
                                       "File I\\O Error", MsgBoxButtons::Ok, MsgBoxIcon::Critical);
            if (byFile)
                return;  // the lists keep their entries
        }
    }
    FillCookieLists();
    if (!byFile)
        m_shownRow = k;
}

void CookieEditorPage::FillCookieLists()
{
    CE_lstCookieEntries->clear();
    CE_lstExpiredCookies->clear();
    if (iCookieCount() >= 1) {
        const LiveCookieTable& live = LiveCookies();
        const std::vector<FileCookie>& file = FileCookies();
        std::unordered_set<std::string> fileNames, liveNames;
        for (const FileCookie& c : file)
            fileNames.insert(c.Name);
        for (std::size_t i = 0; i < live.scanned && i < live.entries.size(); ++i) {
            liveNames.insert(live.entries[i].Name);
            if (fileNames.count(live.entries[i].Name))
                AddSlotItem(CE_lstCookieEntries, live.entries[i].Name, i);
        }
        if (CE_lstCookieEntries->count() > 0)
            CE_lstCookieEntries->setCurrentRow(0);
        for (std::size_t j = 0; j < file.size(); ++j)
            if (!liveNames.count(file[j].Name))
                AddSlotItem(CE_lstExpiredCookies, file[j].Name, j);
    }
    if (CE_lstExpiredCookies->count() > 0)
        CE_lstExpiredCookies->setCurrentRow(0);
}

void CookieEditorPage::CE_optViewByFile_Click()
{
    CE_lstCookieFiles->show();
    CE_lstCookieSources->hide();
    CE_lstCookieFiles->setCurrentRow(CE_lstCookieSources->currentRow());
}

void CookieEditorPage::CE_optViewBySource_Click()
{
    CE_lstCookieSources->show();
    CE_lstCookieFiles->hide();
    CE_lstCookieSources->setCurrentRow(CE_lstCookieFiles->currentRow());
}

void CookieEditorPage::CE_lstCookieEntries_Click()
{
    CE_txtCookieName->clear();
    CE_txtCookieValue->clear();
    QListWidgetItem* item = CE_lstCookieEntries->currentItem();
    if (CE_lstCookieEntries->count() > 0 && iCookieCount() > 0) {
        if (!item)
            return;
        CE_lstCookieEntries->setToolTip(item->text());
        const std::size_t slot = SlotOf(item);
        ShowCookie(CookieNameBytes(CE_lstCookieEntries, CE_lstCookieEntries->currentRow()),
                   slot < LiveCookies().entries.size() ? LiveCookies().entries[slot].Value : std::string());
    } else {
        CE_lstCookieEntries->clear();
    }
}

void CookieEditorPage::CE_lstExpiredCookies_Click()
{
    QListWidgetItem* item = CE_lstExpiredCookies->currentItem();
    if (!item)
        return;
    CE_lstExpiredCookies->setToolTip(item->text());
    const std::size_t slot = SlotOf(item);
    ShowCookie(CookieNameBytes(CE_lstExpiredCookies, CE_lstExpiredCookies->currentRow()),
               slot < FileCookies().size() ? FileCookies()[slot].Value : std::string());
}

void CookieEditorPage::CE_txtCookieName_Click()
{
    CE_txtCookieName->setToolTip(CE_txtCookieName->toPlainText());
}

void CookieEditorPage::CE_txtCookieValue_Click()
{
    CE_txtCookieValue->setToolTip(CE_txtCookieValue->text());
}

void CookieEditorPage::CE_txtSource_Click()
{
    CE_txtSource->setToolTip(CE_txtSource->text());
}

void CookieEditorPage::CE_cmdExit_Click()
{
    if (Busy())
        return;
    m_host.closeMainWindow();  // the shut-down runs on the way and ends the program
}

// ---- setting and deleting ----

void CookieEditorPage::DTPicker1_Change()
{
    const QDate d = DTPicker1->date();
    CE_txtDateExpires->setText(FromBytes(ExpiryText({d.year(), d.month(), d.day()})));
}

void CookieEditorPage::SetEditedCookie()
{
    CE_txtCookieSearch->setPlainText(CE_txtSource->text());
    const std::string source = SourceText();
    const std::string url = CookieUrl(source);
    DTPicker1_Change();
    Stopwatch set(figures.setCookieSeconds);
    SetCookie(m_platform, url, ShownBytes(CE_txtCookieName, CE_txtCookieName->toPlainText()),
              SourceCookieData(source, ShownBytes(CE_txtCookieValue, CE_txtCookieValue->text()),
                               ToBytes(CE_txtDateExpires->text())),
              CookieSourceUser(source));
}

void CookieEditorPage::CE_cmdSetCookie_Click()
{
    if (Busy())
        return;
    AppendActivityLog(m_platform, "Cookie Editor: [Set Cookie] clicked\r\n\r\n");
    if (!IsOwnCookie(m_platform, SourceText())) {
        AppendActivityLog(m_platform, kNotOwnCookieLog);
        return;
    }
    SetEditedCookie();
    RefreshCookies();
}

void CookieEditorPage::CE_cmdDeleteCookie_Click()
{
    if (Busy())
        return;
    SetPickerToday(-1);
    DTPicker1_Change();
    AppendActivityLog(m_platform, "Cookie Editor: [Delete Cookie] clicked\r\n\r\n");
    if (!IsOwnCookie(m_platform, SourceText())) {
        AppendActivityLog(m_platform, kNotOwnCookieLog);
        return;  // the picker keeps yesterday's date
    }
    HandlerRun run(*this);
    // One cookie as one deletion pass: the store kept open, looked at again for this source.
    const bool ownPass = !m_inPass;
    if (ownPass)
        BeginDeletionPass();
    SetEditedCookie();
    RefreshAfterChange();
    if (ownPass)
        EndDeletionPass();
    // When the boxes show a cookie, the picker shows its date, not today's: Set Cookie on it
    // must not expire it.
    ShowShownCookiesDate();
}

void CookieEditorPage::CE_cmdDeleteFile_Click()
{
    if (Busy())
        return;
    AppendActivityLog(m_platform, "Cookie Editor: [Delete File] clicked\r\n\r\n");
    frmRefreshingCache* progress = m_host.refreshingCache();
    if (progress && m_host.currentPage() == PageHost::kCookieEditor && m_host.notInitial())
        progress->show();
    HandlerRun run(*this);
    // The cookies of the source as one deletion pass: the store kept open, this source
    // looked at again after each cookie, and one refresh at the end.
    const bool ownPass = !m_inPass;
    if (ownPass)
        BeginDeletionPass();
    DeleteCookieSource();
    if (ownPass)
        EndDeletionPass();
    if (progress)
        progress->hide();
}

bool CookieEditorPage::DeleteListCookies(QListWidget* list)
{
    const int n = list->count();
    int s = 0;
    for (int pass = 0; pass < n; ++pass) {
        // One refresh may take more than the cookie set: a selection past the end is never made.
        if (s >= list->count())
            break;
        const std::string before = SourceText();
        list->setCurrentRow(s);
        if (list == CE_lstExpiredCookies)
            CE_lstExpiredCookies_Click();  // also when the row was current already
        else
            CE_lstCookieEntries_Click();
        const int c1 = list->count();
        SetPickerToday(-1);
        DTPicker1_Change();
        SetEditedCookie();
        RefreshAfterChange();
        if (SourceText() != before)
            return false;  // the source has left the dump
        if (list->count() == c1) {
            AppendActivityLog(m_platform, "DELETION ERROR:\r\nName:" + LogSafe(CookieNameBytes(list, s)) + "\r\n\r\n");
            ++s;
        }
        SetPickerToday(0);
    }
    return true;
}

void CookieEditorPage::DeleteCookieSource()
{
    if (m_deleting)
        return;  // one deletion at a time: the refreshes inside let clicks through
    frmRefreshingCache* progress = m_host.refreshingCache();
    QLabel* status = progress ? progress->Status : nullptr;
    if (status) {
        status->setVisible(true);
        status->setText(QStringLiteral("Deleting: ") + CE_txtSource->text());
    }
    auto finish = [&] {
        m_host.setRefreshStolen(false);
        if (status)
            status->hide();
    };
    const std::string source = SourceText();
    if (!IsOwnCookie(m_platform, source)) {
        AppendActivityLog(m_platform, kNotOwnCookieLog);
        finish();
        return;
    }
    // Another program (a second copy on the store) may have deleted it meanwhile, or its
    // cookie file may be gone, so that no cookie of it could ever be deleted.
    if (!CookieSourceUser(source).empty()) {
        const inetcache::StoreAccess store = inetcache::StoreAccessOf(m_platform);
        inetcache::CacheEntry stored;
        const char* gone = nullptr;
        if (!inetcache::FindCookieSource(source, stored, store))
            gone = kSourceGoneLog;
        else if (inetcache::RemoveCookieSourceWithoutFile(source, store))
            gone = kSourceWithoutFileLog;
        if (gone) {
            AppendActivityLog(m_platform, gone + LogSafe(source) + "\r\n");
            if (m_inPass)
                m_passChanged = true;  // the lists lose it at the pass's refresh
            finish();
            return;
        }
    }
    m_deleting = true;
    setEnabled(false);  // the page greys out until the deletion has ended
    m_host.setRefreshStolen(true);
    AppendActivityLog(m_platform, "Deleting file\r\n");
    if (DeleteListCookies(CE_lstCookieEntries))
        DeleteListCookies(CE_lstExpiredCookies);
    ShowShownCookiesDate();
    finish();
    if (!m_handling)
        setEnabled(true);
    m_deleting = false;
}

// ---- CookieSourceDeleter ----

const std::vector<CookieEntry>& CookieEditorPage::LoadedCookieEntries() const
{
    return CookieEntries();
}

std::size_t CookieEditorPage::CookieSourceCount() const
{
    return static_cast<std::size_t>(CE_lstCookieSources->count());
}

std::string CookieEditorPage::CookieSourceText(std::size_t index) const
{
    return index < CookieSourceCount() ? RowBytes(CE_lstCookieSources, static_cast<int>(index)) : std::string();
}

void CookieEditorPage::SelectCookieSource(std::size_t index)
{
    if (index >= CookieSourceCount())
        return;
    // Shown once, by the click below, not also by the selection's change.
    CE_lstCookieSources->blockSignals(true);
    CE_lstCookieSources->setCurrentRow(static_cast<int>(index));
    CE_lstCookieSources->blockSignals(false);
    CE_lstCookieSources_Click();
}

}  // namespace brimlow
