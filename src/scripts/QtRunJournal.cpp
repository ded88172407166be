#include "scripts/QtRunJournal.h"

#include <QDateTime>
#include <QLocale>

#include "host/MActivityReport.h"
#include "platform/Errors.h"
#include "platform/qt/QtText.h"

namespace brimlow {

namespace {

QDateTime At(const Platform& platform)
{
    const auto now = platform.clock->Now();
    return QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count());
}

}  // namespace

void QtRunJournal::Log(const std::string& text)
{
    try {
        AppendActivityLog(m_platform, text);
    } catch (const RuntimeError&) {
        // A log that cannot be written does not stop the run.
    }
}

std::string QtRunJournal::DateText()
{
    return ToBytes(QLocale::system().toString(At(m_platform).date(), QLocale::ShortFormat));
}

std::string QtRunJournal::TimeText()
{
    return ToBytes(QLocale::system().toString(At(m_platform).time(), QLocale::ShortFormat));
}

}  // namespace brimlow
