#pragma once
// The "Bleach Utility" page (page 4) of the main window: its controls and handlers.
#include <QWidget>

#include "platform/Platform.h"

namespace brimlow {

class PageHost;

class BleachUtilityPage : public QWidget {
    Q_OBJECT

public:
    BleachUtilityPage(PageHost& host, Platform& platform, QWidget* parent = nullptr);

private:
    PageHost& m_host;
    Platform& m_platform;
};

}  // namespace brimlow
