#include "scripts/ScriptEditorPage.h"

#include "shell/frmMain.h"

namespace brimlow {

ScriptEditorPage::ScriptEditorPage(frmMain& main, Platform& platform, QWidget* parent)
    : QWidget(parent), m_main(main), m_platform(platform)
{
    setObjectName(QStringLiteral("ScriptEditorPage"));
}

}  // namespace brimlow
