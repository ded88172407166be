#pragma once
// The runs' journal in the program: the activity log of the working folder, the date and
// the time in the system's short formats at the platform clock's time.
#include "platform/Platform.h"
#include "scripts/RunJournal.h"

namespace brimlow {

class QtRunJournal final : public RunJournal {
public:
    explicit QtRunJournal(const Platform& platform) : m_platform(platform) {}
    void Log(const std::string& text) override;
    std::string DateText() override;
    std::string TimeText() override;

private:
    const Platform& m_platform;
};

}  // namespace brimlow
