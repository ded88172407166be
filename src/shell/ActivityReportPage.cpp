#include "shell/ActivityReportPage.h"

#include "shell/frmMain.h"

namespace brimlow {

ActivityReportPage::ActivityReportPage(frmMain& main, Platform& platform, QWidget* parent)
    : QWidget(parent), m_main(main), m_platform(platform)
{
    setObjectName(QStringLiteral("ActivityReportPage"));
}

}  // namespace brimlow
