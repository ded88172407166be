#pragma once
// The "Cookie Editor" page (page 3) of the main window: its controls and handlers.
#include <QWidget>

#include "platform/Platform.h"

namespace brimlow {

class frmMain;

class CookieEditorPage : public QWidget {
    Q_OBJECT

public:
    CookieEditorPage(frmMain& main, Platform& platform, QWidget* parent = nullptr);

private:
    frmMain& m_main;
    Platform& m_platform;
};

}  // namespace brimlow
