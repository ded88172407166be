#include "host/MActivityReportQt.h"

#include <QPlainTextEdit>

#include "platform/qt/QtText.h"
#include "host/MActivityReport.h"

namespace brimlow {

void LoadActivityLog(const Platform& platform, QPlainTextEdit* box)
{
    box->clear();  // emptied first, so a missing log leaves the box empty
    SetBoxBytes(box, ReadActivityLog(platform));
}

}  // namespace brimlow
