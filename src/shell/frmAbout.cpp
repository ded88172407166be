#include "shell/frmAbout.h"

#include <QEvent>
#include <algorithm>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "shell/MAboutBox.h"
#include "shell/ProgramArt.h"

namespace brimlow {

namespace {

constexpr int kWidth = 382;   // 5730 twips
constexpr int kHeight = 262;  // 3930 twips
// The stored design position of the client area (2340, 1935 twips); the box is not centred.
constexpr int kLeft = 156;
constexpr int kTop = 129;

QLabel* LinkLabel(QWidget* parent, const char* name, const char* caption, const QRect& where)
{
    auto* l = new QLabel(QString::fromLatin1(caption), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(where);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
    l->setPalette(pal);
    l->setCursor(Qt::PointingHandCursor);
    return l;
}

}  // namespace

frmAbout::frmAbout(Platform& platform) : QDialog(nullptr), m_platform(platform)
{
    setObjectName(QStringLiteral("frmAbout"));
    // Fixed frame, no minimise or maximise, no task-bar button.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(ProgramIcon());
    setFixedSize(kWidth, kHeight);
    setGeometry(kLeft, kTop, kWidth, kHeight);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(ProgramIconPixmap());
    picIcon->setGeometry(16, 16, 32, 32);

    lblTitle = new QLabel(QStringLiteral("Brimlow\nVersion " BRIMLOW_VERSION), this);  // as --version prints it
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setGeometry(72, 14, 290, 40);
    QPalette black = lblTitle->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    lblTitle->setPalette(black);
    QFont titleFont = lblTitle->font();
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);

    Label30 = LinkLabel(this, "Label30", kHomePage, QRect(72, 70, 290, 18));
    Label5 = LinkLabel(this, "Label5", kMailLink, QRect(72, 92, 290, 18));
    Label30->installEventFilter(this);
    Label5->installEventFilter(this);

    // An etched rule: a white line two pixels wide with a grey one over its top.
    const QColor lineColours[2] = {QColor(0xFF, 0xFF, 0xFF), QColor(0x80, 0x80, 0x80)};
    for (int i = 0; i < 2; ++i) {
        auto* line = new QWidget(this);
        line->setObjectName(QStringLiteral("Line1"));
        line->setProperty("index", i);
        line->setGeometry(8, 168, kWidth - 16, i == 0 ? 2 : 1);
        QPalette pal = line->palette();
        pal.setColor(QPalette::Window, lineColours[i]);
        line->setPalette(pal);
        line->setAutoFillBackground(true);
        Line1[i] = line;
    }

    lblDisclaimer = new QLabel(this);
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setText(QStringLiteral("Warning: this program is protected by\n"
                                          "copyright law. Unauthorised copying or\n"
                                          "distribution of it, or of any part of it,\n"
                                          "may result in civil and criminal penalties."));
    lblDisclaimer->setPalette(black);
    lblDisclaimer->setGeometry(12, 178, 262, 76);
    lblDisclaimer->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(284, 180, 86, 26);
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(284, 214, 86, 26);
    cmdSysInfo->setAutoDefault(false);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    FitLegalText();

    setTabOrder(cmdOK, cmdSysInfo);
    cmdOK->setFocus();
    Form_Load();
}

void frmAbout::FitLegalText()
{
    // The legal text is shown whole whatever the font and scale: when its lines need more
    // room than the design gives, the label grows, the buttons move aside and the box grows
    // with them. With the usual fonts the design size holds.
    constexpr int kGap = 10, kMargin = 12, kBottom = 8;
    QRect text = lblDisclaimer->geometry();
    text.setSize(text.size().expandedTo(lblDisclaimer->sizeHint() + QSize(4, 4)));
    lblDisclaimer->setGeometry(text);
    const int buttonsLeft = std::max(cmdOK->x(), text.right() + 1 + kGap);
    cmdOK->move(buttonsLeft, cmdOK->y());
    cmdSysInfo->move(buttonsLeft, cmdSysInfo->y());
    const int width = std::max(kWidth, buttonsLeft + cmdOK->width() + kMargin);
    const int height = std::max({kHeight, text.bottom() + 1 + kBottom, cmdSysInfo->geometry().bottom() + 1 + kBottom});
    for (QWidget* line : Line1)
        line->resize(width - 16, line->height());
    setFixedSize(width, height);
}

void frmAbout::Form_Load()
{
    setWindowTitle(QStringLiteral("About Brimlow"));
}

void frmAbout::cmdOK_Click()
{
    hide();
    emit unloaded();
    deleteLater();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::StartSysInfo()
{
    brimlow::StartSysInfo(m_platform);
}

void frmAbout::Label30_Click()
{
    OpenWebAddress(m_platform, Label30->text().toLocal8Bit().toStdString());
}

void frmAbout::Label5_Click()
{
    OpenWebAddress(m_platform, Label5->text().toLocal8Bit().toStdString());
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Label30) {
            Label30_Click();
            return true;
        }
        if (watched == Label5) {
            Label5_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace brimlow
