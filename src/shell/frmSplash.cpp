#include "shell/frmSplash.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "shell/Forms.h"
#include "shell/ProgramArt.h"
#include "host/PageKit.h"
#include "host/ShowPainted.h"
#include "shell/frmMain.h"

namespace brimlow {

namespace {

constexpr int kWidth = 520;   // 7800 twips
constexpr int kHeight = 160;  // 2400 twips
// The picture is stretched into 7455 x 2025 twips, leaving an even dark margin.
constexpr QRect kLogoRect(12, 12, 497, 135);

}  // namespace

frmSplash::frmSplash(Forms& forms) : QWidget(nullptr), m_forms(forms)
{
    setObjectName(QStringLiteral("frmSplash"));
    // No title bar and no task-bar button.
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    setWindowIcon(ProgramIcon());
    setFixedSize(kWidth, kHeight);
    setFocusPolicy(Qt::StrongFocus);

    // The margin shows the dark colour of window frames.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Shadow));
    setPalette(pal);
    setAutoFillBackground(true);

    imgLogo = new QLabel(this);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setPixmap(SplashPicture());
    imgLogo->setScaledContents(true);
    imgLogo->setGeometry(kLogoRect);
    imgLogo->setAccessibleName(QStringLiteral("Brimlow"));
    imgLogo->installEventFilter(this);

    // On the platform's scheduler, so a test steps through the five seconds in no time.
    Timer1 = m_forms.platform().scheduler->NewTimer([this] { Timer1_Timer(); });
    Timer1->setInterval(std::chrono::milliseconds(5000));

    CentreOnScreen(this, QSize(kWidth, kHeight));
}

void frmSplash::Form_Load()
{
    QCoreApplication::processEvents();
    Timer1->stop();
    ShowSplashAndLoadMain();
}

void frmSplash::ShowSplashAndLoadMain()
{
    ShowPainted(this);  // drawn before the long load begins
    // The splash holds the focus, so that a key typed on it hands over to the main window.
    activateWindow();
    QCoreApplication::processEvents();
    m_forms.LoadMain();
}

void frmSplash::ShowMainAndHide()
{
    if (frmMain* main = m_forms.main())
        main->show();
    hide();
}

void frmSplash::Timer1_Timer()
{
    // A click on the splash may have shown the main window already.
    frmMain* main = m_forms.main();
    if (main && !main->isVisible())
        ShowMainAndHide();
    Timer1->stop();
}

void frmSplash::Form_Click()
{
    Timer1->stop();
    ShowMainAndHide();
}

void frmSplash::Form_KeyPress(const QString& /*key*/)
{
    Timer1->stop();
    ShowMainAndHide();
}

void frmSplash::imgLogo_Click()
{
    Timer1->stop();
    ShowMainAndHide();
}

void frmSplash::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Form_Click();
    QWidget::mouseReleaseEvent(event);
}

void frmSplash::keyPressEvent(QKeyEvent* event)
{
    // A character key, as a key press event of the window reports it.
    if (!event->text().isEmpty() && event->text().at(0).unicode() != 0x7f)
        Form_KeyPress(event->text());
    else
        QWidget::keyPressEvent(event);
}

bool frmSplash::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == imgLogo && event->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton && imgLogo->rect().contains(me->position().toPoint())) {
            imgLogo_Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmSplash::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    // A fixed dialog frame of our own, since the window manager draws none.
    QPainter p(this);
    const QRect r = rect();
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

}  // namespace brimlow
