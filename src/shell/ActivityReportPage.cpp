#include "shell/ActivityReportPage.h"

#include <algorithm>

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QPlainTextEdit>

#include "cachebrowser/MUrlHound.h"
#include "host/MActivityReport.h"
#include "host/MActivityReportQt.h"
#include "host/PageHost.h"
#include "host/PageKit.h"
#include "host/ReportFiles.h"
#include "platform/Errors.h"
#include "platform/TextFile.h"
#include "platform/qt/QtText.h"

namespace brimlow {

namespace {

QPlainTextEdit* MakeReportBox(QWidget* parent, const char* name, const QString& accessibleName, int help, QRect geometry)
{
    auto* box = new QPlainTextEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setTabChangesFocus(true);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);  // long lines scroll sideways
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setAccessibleName(accessibleName);
    box->setProperty(kHelpContextId, help);
    box->setGeometry(geometry);
    return box;
}

}  // namespace

ActivityReportPage::ActivityReportPage(PageHost& host, Platform& platform, QWidget* parent)
    : QWidget(parent), m_host(host), m_platform(platform)
{
    setObjectName(QStringLiteral("ActivityReportPage"));

    Frame6 = new QGroupBox(QStringLiteral("View"), this);
    Frame6->setObjectName(QStringLiteral("Frame6"));
    Frame6->setGeometry(8, 6, 368, 46);
    AR_optActivityReport = new QRadioButton(QStringLiteral("View Activity Report"), Frame6);
    AR_optActivityReport->setObjectName(QStringLiteral("AR_optActivityReport"));
    // Each option as wide as its caption needs, side by side.
    AR_optActivityReport->setGeometry(6, 18, AR_optActivityReport->sizeHint().width(), 22);
    AR_optActivityReport->setProperty(kHelpContextId, 601);
    AR_optUrlHoundSearch = new QRadioButton(QStringLiteral("View Url Hound Search Results"), Frame6);
    AR_optUrlHoundSearch->setObjectName(QStringLiteral("AR_optUrlHoundSearch"));
    // Both inside the frame's border: the gap between them gives way first, then the second's
    // trailing room.
    const int inside = Frame6->width() - 6;
    const int gap = std::clamp(inside - AR_optActivityReport->geometry().right() - 1 -
                                   AR_optUrlHoundSearch->sizeHint().width(),
                               0, 8);
    const int second = AR_optActivityReport->geometry().right() + 1 + gap;
    AR_optUrlHoundSearch->setGeometry(second, 18, std::min(AR_optUrlHoundSearch->sizeHint().width(), inside - second),
                                      22);
    AR_optUrlHoundSearch->setProperty(kHelpContextId, 602);
    AR_optActivityReport->setChecked(true);

    // The two boxes lie on top of each other; the view decides which one shows.
    const QRect reportArea(8, 58, 368, 366);
    AR_txtCacheSearchReport = MakeReportBox(this, "AR_txtCacheSearchReport",
                                            QStringLiteral("View Url Hound Search Results"), 604, reportArea);
    AR_txtActivityReport =
        MakeReportBox(this, "AR_txtActivityReport", QStringLiteral("View Activity Report"), 603, reportArea);
    AR_txtCacheSearchReport->hide();

    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label3->setText(QStringLiteral("Activity Report:\n"
                                   "Many of the activities performed by Brimlow are logged and appended to this file.\n"
                                   "This file is bleached when the program terminates.\n"
                                   "Press the [Save Reort] button to retain a copy.\n"
                                   "To clear previously generated reports click [Clear report]."));
    Label3->setGeometry(384, 14, 148, 270);

    AR_cmdClear = MakeButton(this, "AR_cmdClear", QStringLiteral("Clear Report"),
                             QStringLiteral("Clear the selected report."), 605, {384, 300, 148, 26});
    AR_cmdSave = MakeButton(this, "AR_cmdSave", QStringLiteral("Save Report"),
                            QStringLiteral("Save the selected report in text format."), 606, {384, 334, 148, 26});
    AR_cmdPrint = MakeButton(this, "AR_cmdPrint", QStringLiteral("Print Report"),
                             QStringLiteral("Print the selected report."), 606, {384, 368, 148, 26});
    AR_cmdExit = MakeButton(this, "AR_cmdExit", QStringLiteral("Exit"), QStringLiteral("Exit Brimlow"), 607,
                            {384, 398, 148, 26});

    // Focus order: "Print Report" after "Exit", although it stands above it.
    const QList<QWidget*> order = {AR_optActivityReport, AR_optUrlHoundSearch, AR_txtCacheSearchReport,
                                   AR_txtActivityReport, AR_cmdClear,          AR_cmdSave,
                                   AR_cmdExit,           AR_cmdPrint};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(AR_optActivityReport, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            AR_optActivityReport_Click();
    });
    connect(AR_optUrlHoundSearch, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            AR_optUrlHoundSearch_Click();
    });
    connect(AR_cmdClear, &QPushButton::clicked, this, [this] { AR_cmdClear_Click(); });
    connect(AR_cmdSave, &QPushButton::clicked, this, [this] { AR_cmdSave_Click(); });
    connect(AR_cmdPrint, &QPushButton::clicked, this, [this] { AR_cmdPrint_Click(); });
    connect(AR_cmdExit, &QPushButton::clicked, this, [this] { AR_cmdExit_Click(); });
}

bool ActivityReportPage::ActivityViewSelected() const
{
    return AR_optActivityReport->isChecked();
}

QPlainTextEdit* ActivityReportPage::VisibleReportBox() const
{
    return ActivityViewSelected() ? AR_txtActivityReport : AR_txtCacheSearchReport;
}

void ActivityReportPage::AR_optActivityReport_Click()
{
    AR_txtActivityReport->setVisible(true);
    AR_txtCacheSearchReport->setVisible(false);
}

void ActivityReportPage::AR_optUrlHoundSearch_Click()
{
    AR_txtActivityReport->setVisible(false);
    AR_txtCacheSearchReport->setVisible(true);
}

void ActivityReportPage::LoadActivityLogBox()
{
    try {
        LoadActivityLog(m_platform, AR_txtActivityReport);
    } catch (const RuntimeError& e) {
        ShowFileError(m_platform, e.number(), "opening", ActivityLogPath(m_platform).string());
    }
}

void ActivityReportPage::ShowSelectedView()
{
    const bool showLog = ActivityViewSelected();
    AR_txtActivityReport->setVisible(showLog);
    AR_txtCacheSearchReport->setVisible(!showLog);
}

void ActivityReportPage::ShowCacheSearchReport(const std::string& reportBytes)
{
    SetBoxBytes(AR_txtCacheSearchReport, reportBytes);
}

void ActivityReportPage::SelectUrlHoundSearch()
{
    AR_optUrlHoundSearch->setChecked(true);
    AR_optUrlHoundSearch_Click();  // also when it was set already
}

void ActivityReportPage::AR_cmdClear_Click()
{
    if (ActivityViewSelected()) {
        try {
            ResetActivityLog(m_platform);
        } catch (const RuntimeError& e) {
            ShowFileError(m_platform, e.number(), "opening", ActivityLogPath(m_platform).string());
            return;  // the log still holds its entries, so the box keeps them too
        }
        SetBoxBytes(AR_txtActivityReport, {});
        return;
    }
    const auto path = SearchReportPath(m_platform);
    if (textfile::FileExists(path)) {
        try {
            textfile::DeleteFile(path, false);
        } catch (const RuntimeError& e) {
            ShowFileError(m_platform, e.number(), "deleting", path.string());
            return;  // the report is still there: so is its text
        }
    }
    SetBoxBytes(AR_txtCacheSearchReport, {});
}

void ActivityReportPage::AR_cmdSave_Click()
{
    // The text of the box as it is now, taken before the dialog opens.
    SaveReportAs(m_platform, BoxBytes(VisibleReportBox()));
}

void ActivityReportPage::AR_cmdPrint_Click()
{
    const std::string text = BoxBytes(VisibleReportBox());
    if (!m_platform.printer || !m_platform.printer->PrintText(text))
        m_platform.dialogs->MsgBox("No printer is installed.", kProgramTitle, MsgBoxButtons::Ok,
                                   MsgBoxIcon::Exclamation);
}

void ActivityReportPage::AR_cmdExit_Click()
{
    m_host.closeMainWindow();  // the shut-down runs on the way and ends the program
}

}  // namespace brimlow
