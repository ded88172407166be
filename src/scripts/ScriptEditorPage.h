#pragma once
// The "Script Editor" page (page 1) of the main window: its controls and handlers.
#include <QWidget>

#include "platform/Platform.h"

namespace brimlow {

class frmMain;

class ScriptEditorPage : public QWidget {
    Q_OBJECT

public:
    ScriptEditorPage(frmMain& main, Platform& platform, QWidget* parent = nullptr);

private:
    frmMain& m_main;
    Platform& m_platform;
};

}  // namespace brimlow
