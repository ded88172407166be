#include "bleach/BleachUtilityPage.h"

#include "shell/frmMain.h"

namespace brimlow {

BleachUtilityPage::BleachUtilityPage(frmMain& main, Platform& platform, QWidget* parent)
    : QWidget(parent), m_main(main), m_platform(platform)
{
    setObjectName(QStringLiteral("BleachUtilityPage"));
}

}  // namespace brimlow
