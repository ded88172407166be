#include "cachebrowser/UrlHoundPage.h"

#include "shell/frmMain.h"

namespace brimlow {

UrlHoundPage::UrlHoundPage(frmMain& main, Platform& platform, QWidget* parent)
    : QWidget(parent), m_main(main), m_platform(platform)
{
    setObjectName(QStringLiteral("UrlHoundPage"));
}

}  // namespace brimlow
