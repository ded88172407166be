#include "scripts/ScriptEditorPage.h"

#include "host/PageHost.h"

namespace brimlow {

ScriptEditorPage::ScriptEditorPage(PageHost& host, Platform& platform, QWidget* parent)
    : QWidget(parent), m_host(host), m_platform(platform)
{
    setObjectName(QStringLiteral("ScriptEditorPage"));
}

}  // namespace brimlow
