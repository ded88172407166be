#pragma once
// The password dialog. A right password starts the program as the splash does; Cancel
// ends it at once. The main program never shows it.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace brimlow {

class Forms;

inline constexpr const char* kLoginPassword = "Seven Lanterns At Dusk";

class frmLogin : public QDialog {
    Q_OBJECT

public:
    explicit frmLogin(Forms& forms);

    QLabel* lblLabels = nullptr;
    QLineEdit* txtPassword = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    void cmdOK_Click();
    void cmdCancel_Click();

public slots:
    // Esc and the close box mean Cancel.
    void reject() override;
    void accept() override;

private:
    Forms& m_forms;
};

}  // namespace brimlow
