#pragma once
// The splash: the first window of the program. Its load shows it and loads the main
// window; the main window appears when Timer1 fires or the user clicks or types on the
// splash. It stays loaded, hidden, and covers the shut-down again.
#include <QWidget>
#include <memory>

#include "platform/Platform.h"

class QLabel;

namespace brimlow {

class Forms;

class frmSplash : public QWidget {
    Q_OBJECT

public:
    explicit frmSplash(Forms& forms);

    QLabel* imgLogo = nullptr;
    std::unique_ptr<Timer> Timer1;  // 5000 ms, disabled until the main window's load has ended

    void Form_Load();
    void Timer1_Timer();
    void Form_Click();
    void Form_KeyPress(const QString& key);
    void imgLogo_Click();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowSplashAndLoadMain();
    void ShowMainAndHide();

    Forms& m_forms;
};

}  // namespace brimlow
