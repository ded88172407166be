#pragma once
// Where the script player and the quick clean-up write what they do: the activity log, with
// the date and the time as the system writes them short. The pages supply it (the texts
// follow the user's locale); tests supply a fixed one.
#include <string>

namespace brimlow {

class RunJournal {
public:
    // Appends the text unchanged; a log that cannot be written does not stop a run.
    virtual void Log(const std::string& text) = 0;
    virtual std::string DateText() = 0;
    virtual std::string TimeText() = 0;

protected:
    ~RunJournal() = default;
};

}  // namespace brimlow
