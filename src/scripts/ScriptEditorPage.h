#pragma once
// The "Script Editor" page (page 1) of the main window: its controls and handlers.
#include <QWidget>

#include "platform/Platform.h"

namespace brimlow {

class PageHost;

class ScriptEditorPage : public QWidget {
    Q_OBJECT

public:
    ScriptEditorPage(PageHost& host, Platform& platform, QWidget* parent = nullptr);

private:
    PageHost& m_host;
    Platform& m_platform;
};

}  // namespace brimlow
