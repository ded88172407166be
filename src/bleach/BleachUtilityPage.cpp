#include "bleach/BleachUtilityPage.h"

#include "host/PageHost.h"

namespace brimlow {

BleachUtilityPage::BleachUtilityPage(PageHost& host, Platform& platform, QWidget* parent)
    : QWidget(parent), m_host(host), m_platform(platform)
{
    setObjectName(QStringLiteral("BleachUtilityPage"));
}

}  // namespace brimlow
