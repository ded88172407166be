#include "shell/frmLogin.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>

#include "host/PageKit.h"
#include "platform/Platform.h"
#include "platform/qt/BareToolFrame.h"
#include "shell/Forms.h"

namespace brimlow {

namespace {

// Typed characters show as "*".
class StarPasswordStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        if (hint == SH_LineEdit_PasswordMaskDelay)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

constexpr int kWidth = 250;   // 3750 twips
constexpr int kHeight = 103;  // 1545 twips

}  // namespace

frmLogin::frmLogin(Forms& forms) : QDialog(nullptr), m_forms(forms)
{
    setObjectName(QStringLiteral("frmLogin"));
    // Tool-window frame: no caption text, no icon, close box only, no task-bar button.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QString());
    setFixedSize(kWidth, kHeight);
    KeepFrameBare(*this);

    lblLabels = new QLabel(QStringLiteral("Enter &Password:"), this);
    lblLabels->setObjectName(QStringLiteral("lblLabels"));
    lblLabels->setGeometry(7, 8, 236, 18);

    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    auto* style = new StarPasswordStyle;
    style->setParent(txtPassword);
    txtPassword->setStyle(style);
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setAttribute(Qt::WA_InputMethodEnabled, false);
    txtPassword->setGeometry(7, 28, 236, 22);
    txtPassword->setAccessibleName(QStringLiteral("Enter Password:"));
    lblLabels->setBuddy(txtPassword);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(7, 66, 80, 28);
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmLogin::cmdOK_Click);

    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(163, 66, 80, 28);
    cmdCancel->setAutoDefault(false);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLogin::cmdCancel_Click);

    setTabOrder(txtPassword, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    txtPassword->setFocus();

    CentreOnScreen(this, QSize(kWidth, kHeight));
}

void frmLogin::cmdOK_Click()
{
    if (txtPassword->text() == QLatin1String(kLoginPassword)) {
        m_forms.LoadSplash();  // the whole start-up runs before this returns
        QCoreApplication::processEvents();
        m_forms.UnloadLogin();
        return;
    }
    m_forms.platform().dialogs->MsgBox("Invalid Password, try again!", "Login", MsgBoxButtons::Ok, MsgBoxIcon::None);
    txtPassword->setFocus();
}

void frmLogin::cmdCancel_Click()
{
    m_forms.platform().exit->EndNow(0);
}

void frmLogin::reject()
{
    cmdCancel_Click();
}

void frmLogin::accept()
{
    cmdOK_Click();
}

}  // namespace brimlow
