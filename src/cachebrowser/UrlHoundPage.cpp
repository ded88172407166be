#include "cachebrowser/UrlHoundPage.h"

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <functional>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QPlainTextEdit>

#include "cachebrowser/MUrlHound.h"
#include "host/ActivityReports.h"
#include "host/MRunUrlHound.h"
#include "host/PageHost.h"
#include "host/PageKit.h"
#include "host/ReportFiles.h"
#include "host/ShowPainted.h"
#include "host/TextListView.h"
#include "host/frmRefreshingCache.h"
#include "platform/Errors.h"
#include "platform/TextFile.h"
#include "platform/qt/QtText.h"

namespace brimlow {

namespace {

// The one-line search box: Enter runs the search instead of breaking the line, and pasted
// line breaks become blanks, so the expression always stays on one line.
class SearchStringBox final : public QPlainTextEdit {
public:
    explicit SearchStringBox(QWidget* parent) : QPlainTextEdit(parent) {}
    std::function<void()> onEnter;

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            e->accept();
            if (onEnter)
                onEnter();
            return;
        }
        QPlainTextEdit::keyPressEvent(e);
    }
    void insertFromMimeData(const QMimeData* source) override
    {
        if (!source->hasText())
            return;
        QString text = source->text();
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        text.replace(QLatin1Char('\r'), QLatin1Char(' '));
        textCursor().insertText(text);
    }
};

// The page icon: a magnifying glass over a page of lines.
QPixmap PageIcon(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3 * s, 2 * s, 18 * s, 24 * s));
    p.setPen(QPen(QColor(40, 90, 170), 1.5 * s));
    for (int i = 0; i < 5; ++i)
        p.drawLine(QPointF(6 * s, (7 + 4 * i) * s), QPointF(18 * s, (7 + 4 * i) * s));
    p.setPen(QPen(QColor(60, 60, 60), 3 * s));
    p.setBrush(QColor(200, 230, 255, 180));
    p.drawEllipse(QPointF(19 * s, 17 * s), 7 * s, 7 * s);
    p.drawLine(QPointF(24 * s, 22 * s), QPointF(30 * s, 29 * s));
    return pm;
}

}  // namespace

UrlHoundPage::UrlHoundPage(PageHost& host, Platform& platform, QWidget* parent)
    : QWidget(parent), m_host(host), m_platform(platform)
{
    setObjectName(QStringLiteral("UrlHoundPage"));
    BuildControls();
}

void UrlHoundPage::BuildControls()
{
    // Heading row.
    Image5 = Make<QLabel>(this, "Image5", {8, 6, 32, 32});
    Image5->setPixmap(PageIcon(32));
    setWindowIcon(QIcon(PageIcon(32)));
    Label24 = MakeLabel(this, "Label24",
                        QStringLiteral("  This utility is designed to view all data contained in the cache, and\n"
                                       "perform a text search  against it."),
                        {48, 6, 484, 32});

    // Left column: the entry type, the entry list and the details.
    Label22 = MakeLabel(this, "Label22", QStringLiteral("Entry Type:"), {8, 46, 68, 22});
    UH_cboCacheType = Make<QComboBox>(this, "UH_cboCacheType", {80, 46, 186, 22});
    UH_cboCacheType->setEditable(true);
    UH_cboCacheType->setInsertPolicy(QComboBox::NoInsert);
    // Typed text stays as typed: no completion, no re-casing to an entry, and so no refresh
    // until an entry is chosen (Enter chooses one only when the text is exactly an entry).
    UH_cboCacheType->setCompleter(nullptr);
    UH_cboCacheType->addItems({QStringLiteral("Cookies:"), QStringLiteral("Visited:"), QStringLiteral("Entire Cache")});
    UH_cboCacheType->setCurrentIndex(2);
    UH_cboCacheType->setProperty(kHelpContextId, 301);
    NameFromLabel(UH_cboCacheType, Label22);

    Label21 = MakeLabel(this, "Label21", QStringLiteral("Source Name:"), {8, 72, 258, 16});
    // A view of the loaded records: a dump of 100,000 entries lists at once.
    UH_lstCacheMain = Make<TextListView>(this, "UH_lstCacheMain", {8, 88, 258, 134});
    UH_lstCacheMain->setSelectionMode(QAbstractItemView::SingleSelection);
    UH_lstCacheMain->setProperty(kHelpContextId, 302);
    NameFromLabel(UH_lstCacheMain, Label21);

    Frame4 = Make<QGroupBox>(this, "Frame4", {8, 226, 258, 198});
    Frame4->setTitle(QStringLiteral("Extended Information"));
    Label23 = MakeLabel(Frame4, "Label23", QStringLiteral("File Location:"), {8, 18, 200, 16});
    UH_txtCacheLocation = Make<QLineEdit>(Frame4, "UH_txtCacheLocation", {8, 34, 242, 22});
    UH_txtCacheLocation->setProperty(kHelpContextId, 303);
    NameFromLabel(UH_txtCacheLocation, Label23);
    Label18 = MakeLabel(Frame4, "Label18", QStringLiteral("Header Data:"), {8, 60, 150, 16});
    UH_txtCacheHeader = Make<QPlainTextEdit>(Frame4, "UH_txtCacheHeader", {8, 76, 160, 116});
    UH_txtCacheHeader->setTabChangesFocus(true);
    UH_txtCacheHeader->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    UH_txtCacheHeader->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    UH_txtCacheHeader->setProperty(kHelpContextId, 304);
    NameFromLabel(UH_txtCacheHeader, Label18);
    Label17 = MakeLabel(Frame4, "Label17", QStringLiteral("Accessed:"), {176, 60, 74, 16});
    UH_txtCacheAccessed = Make<QLineEdit>(Frame4, "UH_txtCacheAccessed", {176, 76, 74, 22});
    UH_txtCacheAccessed->setProperty(kHelpContextId, 305);
    NameFromLabel(UH_txtCacheAccessed, Label17);
    Label20 = MakeLabel(Frame4, "Label20", QStringLiteral("Expires:"), {176, 102, 74, 16});
    UH_txtCacheExpires = Make<QLineEdit>(Frame4, "UH_txtCacheExpires", {176, 118, 74, 22});
    UH_txtCacheExpires->setProperty(kHelpContextId, 306);
    NameFromLabel(UH_txtCacheExpires, Label20);
    Label19 = MakeLabel(Frame4, "Label19", QStringLiteral("Hit Rate:"), {176, 154, 74, 16});
    UH_txtCacheHitRate = Make<QLineEdit>(Frame4, "UH_txtCacheHitRate", {176, 170, 74, 22});
    UH_txtCacheHitRate->setProperty(kHelpContextId, 307);
    NameFromLabel(UH_txtCacheHitRate, Label19);

    // Right column: the search criteria, the results and the button grid.
    Frame7 = Make<QGroupBox>(this, "Frame7", {276, 42, 256, 100});
    Frame7->setTitle(QStringLiteral("Search Critera"));
    auto* searchBox = new SearchStringBox(Frame7);
    searchBox->setObjectName(QStringLiteral("UH_txtCacheSearchString"));
    searchBox->setGeometry(8, 20, 240, 24);
    searchBox->onEnter = [this] { UH_cmdCacheSearch_Click(); };
    UH_txtCacheSearchString = searchBox;
    UH_txtCacheSearchString->setTabChangesFocus(true);
    UH_txtCacheSearchString->setLineWrapMode(QPlainTextEdit::NoWrap);
    UH_txtCacheSearchString->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    UH_txtCacheSearchString->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    UH_txtCacheSearchString->document()->setDocumentMargin(2);
    UH_txtCacheSearchString->setProperty(kHelpContextId, 308);
    UH_txtCacheSearchString->setAccessibleName(QStringLiteral("Search Critera"));
    UH_cmdAnd = MakeButton(Frame7, "UH_cmdAnd", QStringLiteral("And"), {}, 309, {8, 48, 50, 22});
    UH_cmdOr = MakeButton(Frame7, "UH_cmdOr", QStringLiteral("Or"), {}, 310, {8, 72, 50, 22});
    UH_chkCaseSensitive = Make<QCheckBox>(Frame7, "UH_chkCaseSensitive", {70, 48, 178, 22});
    UH_chkCaseSensitive->setText(QStringLiteral("Case Sensitive"));
    UH_chkCaseSensitive->setProperty(kHelpContextId, 311);
    UH_chkWholeWord = Make<QCheckBox>(Frame7, "UH_chkWholeWord", {70, 72, 178, 22});
    UH_chkWholeWord->setText(QStringLiteral("Match whole word"));
    UH_chkWholeWord->setProperty(kHelpContextId, 312);

    Label25 = MakeLabel(this, "Label25", QStringLiteral("Search Results (Source Name):"), {276, 146, 256, 16});
    UH_lstCacheSearch = Make<QListWidget>(this, "UH_lstCacheSearch", {276, 162, 256, 172});
    UH_lstCacheSearch->setSelectionMode(QAbstractItemView::SingleSelection);
    UH_lstCacheSearch->setUniformItemSizes(true);
    NameFromLabel(UH_lstCacheSearch, Label25);
    // The record text the platform search once ran on; the search now works on the
    // records themselves, and the box stays hidden.
    UH_txtCacheSearch = Make<QPlainTextEdit>(this, "UH_txtCacheSearch", {276, 162, 256, 172});
    UH_txtCacheSearch->setProperty(kHelpContextId, 313);
    UH_txtCacheSearch->setFocusPolicy(Qt::NoFocus);
    UH_txtCacheSearch->setEnabled(false);
    UH_txtCacheSearch->hide();
    UH_txtCacheSearch->lower();

    const int colL = 276, colR = 408, w = 124, h = 26;
    UH_cmdCacheSearch = MakeButton(this, "UH_cmdCacheSearch", QStringLiteral("Execute Search"),
                                   QStringLiteral("Search the cache based on the \"Search Criteria\" entry."), 314,
                                   {colL, 338, w, h});
    UH_cmdCacheRefresh = MakeButton(this, "UH_cmdCacheRefresh", QStringLiteral("Refesh Cache"),
                                    QStringLiteral("Refresh the cache data."), 315, {colR, 338, w, h});
    UH_cmdViewReport = MakeButton(this, "UH_cmdViewReport", QStringLiteral("Generate Report"),
                                  QStringLiteral("Generate a report of the \"Search Results\"."), 316,
                                  {colL, 368, w, h});
    UH_cmdCacheSave = MakeButton(this, "UH_cmdCacheSave", QStringLiteral("Save Results"),
                                 QStringLiteral("Save the \"Search Results\" in text format."), 317, {colR, 368, w, h});
    UH_cmdCacheClear = MakeButton(this, "UH_cmdCacheClear", QStringLiteral("Clear Reaults"),
                                  QStringLiteral("Clear the \"Search Results\"."), 318, {colL, 398, w, h});
    UH_cmdExit = MakeButton(this, "UH_cmdExit", QStringLiteral("Exit"), QStringLiteral("Exit Brimlow"), 319,
                            {colR, 398, w, h});

    // Keyboard focus order of the page; the search box comes last.
    const QList<QWidget*> order = {UH_cboCacheType,    UH_lstCacheMain,    UH_txtCacheLocation, UH_txtCacheHeader,
                                   UH_txtCacheAccessed, UH_txtCacheExpires, UH_txtCacheHitRate,  UH_cmdAnd,
                                   UH_cmdOr,            UH_chkCaseSensitive, UH_chkWholeWord,    UH_cmdCacheSearch,
                                   UH_cmdCacheRefresh,  UH_cmdViewReport,   UH_cmdCacheSave,     UH_cmdCacheClear,
                                   UH_cmdExit,          UH_lstCacheSearch,  UH_txtCacheSearchString};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(UH_cboCacheType, &QComboBox::activated, this, [this](int) { UH_cboCacheType_Click(); });
    connect(UH_lstCacheMain, &TextListView::currentRowChanged, this, [this](int) { UH_lstCacheMain_Click(); });
    connect(UH_lstCacheMain, &TextListView::rowClicked, this, [this](int) { UH_lstCacheMain_Click(); });
    connect(UH_lstCacheSearch, &QListWidget::currentRowChanged, this, [this](int) { UH_lstCacheSearch_Click(); });
    connect(UH_lstCacheSearch, &QListWidget::itemClicked, this,
            [this](QListWidgetItem*) { UH_lstCacheSearch_Click(); });
    UH_txtCacheLocation->installEventFilter(this);
    connect(UH_cmdCacheRefresh, &QPushButton::clicked, this, [this] { UH_cmdCacheRefresh_Click(); });
    connect(UH_cmdCacheSearch, &QPushButton::clicked, this, [this] { UH_cmdCacheSearch_Click(); });
    connect(UH_cmdAnd, &QPushButton::clicked, this, [this] { UH_cmdAnd_Click(); });
    connect(UH_cmdOr, &QPushButton::clicked, this, [this] { UH_cmdOr_Click(); });
    connect(UH_cmdCacheSave, &QPushButton::clicked, this, [this] { UH_cmdCacheSave_Click(); });
    connect(UH_cmdViewReport, &QPushButton::clicked, this, [this] { UH_cmdViewReport_Click(); });
    connect(UH_cmdCacheClear, &QPushButton::clicked, this, [this] { UH_cmdCacheClear_Click(); });
    connect(UH_cmdExit, &QPushButton::clicked, this, [this] { UH_cmdExit_Click(); });
}

bool UrlHoundPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == UH_txtCacheLocation && event->type() == QEvent::MouseButtonPress)
        UH_txtCacheLocation_Click();
    return QWidget::eventFilter(watched, event);
}

// ---- refresh, list and details ----

void UrlHoundPage::UH_cmdCacheRefresh_Click()
{
    frmRefreshingCache* progress = m_host.refreshingCache();
    if (m_host.currentPage() == PageHost::kUrlHound) {
        ShowPainted(progress, m_host.notInitial() && progress);  // drawn before the wait blocks
    }
    {
        WaitCursor wait;
        RunUrlHound(m_platform, false);
        if (m_host.currentPage() == PageHost::kUrlHound && progress)
            progress->hide();

        const int type = DumpTypeFromCacheTypeText(ToBytes(UH_cboCacheType->currentText()));
        try {
            LoadCacheDump(m_platform, type);
        } catch (const RuntimeError& e) {
            // A dump that cannot be read lists as empty; the user is told why.
            ShowFileError(m_platform, e.number(), "opening",
                          textfile::InFolder(m_platform.programFolder, CacheDumpFileName(type)).string());
        }
        // The list reads the records it shows; a row past a later load's end reads empty.
        UH_lstCacheMain->Show(iCacheCount(), [](std::size_t i) {
            const auto& records = CacheRecords();
            return i < records.size() ? records[i].Source : std::string_view();
        });
    }
    if (UH_lstCacheMain->count() > 0)
        UH_lstCacheMain->setCurrentRow(0);  // shows the first entry's details
}

void UrlHoundPage::UH_cboCacheType_Click()
{
    UH_cmdCacheRefresh_Click();
}

void UrlHoundPage::ShowRecord(std::size_t r)
{
    const auto& records = CacheRecords();
    if (r >= records.size())
        return;  // a result of an earlier load that the current one does not reach
    const CacheRecord& rec = records[r];
    UH_txtCacheLocation->setText(FromBytes(rec.Location));
    UH_txtCacheHitRate->setText(FromBytes(rec.HitRate));
    UH_txtCacheExpires->setText(FromBytes(rec.Expires));
    UH_txtCacheAccessed->setText(FromBytes(rec.Accessed));
    UH_txtCacheHeader->setPlainText(ToBoxText(rec.Header));
}

void UrlHoundPage::UH_lstCacheMain_Click()
{
    const int row = UH_lstCacheMain->currentRow();
    UH_lstCacheMain->setToolTip(row >= 0 ? UH_lstCacheMain->text(row) : QString());
    if (row >= 0)
        ShowRecord(static_cast<std::size_t>(row));
}

void UrlHoundPage::UH_lstCacheSearch_Click()
{
    QListWidgetItem* item = UH_lstCacheSearch->currentItem();
    UH_lstCacheSearch->setToolTip(item ? item->text() : QString());
    if (item)
        ShowRecord(static_cast<std::size_t>(item->data(Qt::UserRole).toULongLong()));
}

void UrlHoundPage::UH_txtCacheLocation_Click()
{
    UH_txtCacheLocation->setToolTip(UH_txtCacheLocation->text());
}

void UrlHoundPage::UH_cmdCacheClear_Click()
{
    UH_lstCacheSearch->clear();
}

void UrlHoundPage::UH_cmdExit_Click()
{
    m_host.closeMainWindow();  // the shut-down runs on the way and ends the program
}

// ---- search ----

std::string UrlHoundPage::SearchText() const
{
    return ToBytes(UH_txtCacheSearchString->toPlainText());
}

void UrlHoundPage::FocusSearchString(bool selectAll)
{
    UH_txtCacheSearchString->setFocus(Qt::OtherFocusReason);
    QTextCursor c = UH_txtCacheSearchString->textCursor();
    if (selectAll) {
        c.movePosition(QTextCursor::Start);
        c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    } else {
        c.movePosition(QTextCursor::End);
    }
    UH_txtCacheSearchString->setTextCursor(c);
}

void UrlHoundPage::UH_cmdCacheSearch_Click()
{
    UH_cmdCacheSearch->setToolTip(QString());
    const std::string text = SearchText();
    if (UH_lstCacheMain->count() > 0) {
        if (!text.empty()) {
            WaitCursor wait;
            UH_lstCacheSearch->clear();
            const MatchOptions options{UH_chkCaseSensitive->isChecked(), UH_chkWholeWord->isChecked(),
                                       LocaleTextEncoding()};
            auto hits = SearchCacheRecords(CacheRecords(), text, options);
            const auto listed = static_cast<std::size_t>(UH_lstCacheMain->count());
            hits.erase(std::find_if(hits.begin(), hits.end(), [listed](std::size_t i) { return i >= listed; }),
                       hits.end());
            // The lines go in as one insertion: tens of thousands of results fill at once.
            QStringList lines;
            lines.reserve(static_cast<qsizetype>(hits.size()));
            for (std::size_t i : hits)
                lines << UH_lstCacheMain->text(static_cast<int>(i));
            UH_lstCacheSearch->addItems(lines);
            for (std::size_t k = 0; k < hits.size(); ++k)
                UH_lstCacheSearch->item(static_cast<int>(k))->setData(Qt::UserRole, QVariant::fromValue<qulonglong>(hits[k]));
        } else {
            m_platform.dialogs->MsgBox("You must enter a search string.", "Missing Search String", MsgBoxButtons::Ok,
                                       MsgBoxIcon::None);
            UH_txtCacheSearchString->setFocus(Qt::OtherFocusReason);
        }
    } else {
        m_platform.dialogs->MsgBox("There is no data in the cache.\r\nPress (Refresh Cache) and try again.",
                                   "Cache Empty", MsgBoxButtons::Ok, MsgBoxIcon::None);
    }
    if (!text.empty() && UH_lstCacheSearch->count() == 0)
        m_platform.dialogs->MsgBox("There is no data matching your criteria.", "Search Complete", MsgBoxButtons::Ok,
                                   MsgBoxIcon::None);
    FocusSearchString(true);  // typing replaces the expression
}

void UrlHoundPage::AppendOperator(const char* op)
{
    QString text = UH_txtCacheSearchString->toPlainText();
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    UH_txtCacheSearchString->setPlainText(text + QLatin1String(op));
    FocusSearchString(false);
}

void UrlHoundPage::UH_cmdAnd_Click()
{
    AppendOperator(" AND ");
}

void UrlHoundPage::UH_cmdOr_Click()
{
    AppendOperator(" OR ");
}

// ---- save and report ----

std::string UrlHoundPage::ReportText() const
{
    const auto now = m_platform.clock ? m_platform.clock->Now() : std::chrono::system_clock::now();
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count());
    const QLocale locale = QLocale::system();
    std::vector<std::size_t> results;
    results.reserve(static_cast<std::size_t>(UH_lstCacheSearch->count()));
    for (int i = 0; i < UH_lstCacheSearch->count(); ++i)
        results.push_back(static_cast<std::size_t>(UH_lstCacheSearch->item(i)->data(Qt::UserRole).toULongLong()));
    return CacheSearchReport(ToBytes(locale.toString(when.date(), QLocale::ShortFormat)),
                             ToBytes(SystemTimeText(when.time())), SearchText(), results,
                             CacheRecords());
}

void UrlHoundPage::UH_cmdCacheSave_Click()
{
    SaveReportAs(m_platform, ReportText());
}

void UrlHoundPage::UH_cmdViewReport_Click()
{
    const auto path = SearchReportPath(m_platform);
    ActivityReports& reportPage = m_host.reports();
    try {
        textfile::Append(path, ReportText(), true);
        if (textfile::FileExists(path)) {
            reportPage.ShowCacheSearchReport(textfile::ReadAll(path));
        } else {
            m_platform.dialogs->MsgBox("The requested file does not exist.\r\nPlease check the path and try again.\r\n" +
                                           textfile::InFolder(m_platform.programFolder, kSearchReportName).string(),
                                       "File I\\O Error", MsgBoxButtons::Ok, MsgBoxIcon::Critical);
        }
    } catch (const RuntimeError& e) {
        // The report could not be written or read back: say so, and show what there is.
        ShowFileError(m_platform, e.number(), "opening", path.string());
    }
    reportPage.SelectUrlHoundSearch();
    m_host.setCurrentPage(PageHost::kActivityReport);
}

}  // namespace brimlow
