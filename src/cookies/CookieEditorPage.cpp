#include "cookies/CookieEditorPage.h"

#include "shell/frmMain.h"

namespace brimlow {

CookieEditorPage::CookieEditorPage(frmMain& main, Platform& platform, QWidget* parent)
    : QWidget(parent), m_main(main), m_platform(platform)
{
    setObjectName(QStringLiteral("CookieEditorPage"));
}

}  // namespace brimlow
