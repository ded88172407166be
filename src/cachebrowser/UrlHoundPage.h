#pragma once
// The "Url Hound" page (page 2) of the main window: its controls and handlers.
#include <QWidget>

#include "platform/Platform.h"

namespace brimlow {

class frmMain;

class UrlHoundPage : public QWidget {
    Q_OBJECT

public:
    UrlHoundPage(frmMain& main, Platform& platform, QWidget* parent = nullptr);

private:
    frmMain& m_main;
    Platform& m_platform;
};

}  // namespace brimlow
