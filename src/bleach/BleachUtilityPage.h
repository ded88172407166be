#pragma once
// The "Bleach Utility" page (page 4) of the main window: its controls and handlers.
#include <QWidget>

#include "platform/Platform.h"

namespace brimlow {

class frmMain;

class BleachUtilityPage : public QWidget {
    Q_OBJECT

public:
    BleachUtilityPage(frmMain& main, Platform& platform, QWidget* parent = nullptr);

private:
    frmMain& m_main;
    Platform& m_platform;
};

}  // namespace brimlow
