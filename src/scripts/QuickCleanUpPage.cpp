#include "scripts/QuickCleanUpPage.h"

#include "shell/frmMain.h"

namespace brimlow {

QuickCleanUpPage::QuickCleanUpPage(frmMain& main, Platform& platform, QWidget* parent)
    : QWidget(parent), m_main(main), m_platform(platform)
{
    setObjectName(QStringLiteral("QuickCleanUpPage"));
}

void QuickCleanUpPage::QC_cmdExit_Click()
{
    m_main.close();
}

}  // namespace brimlow
