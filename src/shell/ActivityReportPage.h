#pragma once
// The activity report page (page 5) of the main window: its controls and handlers.
#include <QWidget>

#include "platform/Platform.h"

namespace brimlow {

class frmMain;

class ActivityReportPage : public QWidget {
    Q_OBJECT

public:
    ActivityReportPage(frmMain& main, Platform& platform, QWidget* parent = nullptr);

private:
    frmMain& m_main;
    Platform& m_platform;
};

}  // namespace brimlow
