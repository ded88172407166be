#pragma once
// The "Quick Clean Up" page (page 0) of the main window: its controls and handlers.
#include <QWidget>

#include "platform/Platform.h"

namespace brimlow {

class frmMain;

class QuickCleanUpPage : public QWidget {
    Q_OBJECT

public:
    QuickCleanUpPage(frmMain& main, Platform& platform, QWidget* parent = nullptr);

    // Closes the main window, which runs the shut-down.
    void QC_cmdExit_Click();

private:
    frmMain& m_main;
    Platform& m_platform;
};

}  // namespace brimlow
