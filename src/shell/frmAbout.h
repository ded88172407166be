#pragma once
// The about box: product name and version, a legal notice, the maker's contact links and a
// button that starts the system information tool. Not modal and without an owner.
#include <QDialog>

#include "platform/Platform.h"

class QLabel;
class QPushButton;

namespace brimlow {

class frmAbout : public QDialog {
    Q_OBJECT

public:
    explicit frmAbout(Platform& platform);

    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QWidget* Line1[2] = {nullptr, nullptr};
    QLabel* lblDisclaimer = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;
    QLabel* Label30 = nullptr;
    QLabel* Label5 = nullptr;

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void Label30_Click();
    void Label5_Click();
    void StartSysInfo();

signals:
    void unloaded();

public slots:
    // Enter and Esc both press "OK".
    void accept() override { cmdOK_Click(); }
    void reject() override { cmdOK_Click(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FitLegalText();

    Platform& m_platform;
};

}  // namespace brimlow
