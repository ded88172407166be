// The script file reader, against a plain reading of the layout from the lines; whatever
// it read saves back to bytes that read the same.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "scripts/MScriptEditor.h"

using namespace brimlow;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::MemoryFile file;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    file.Set(bytes);
    const ScriptFileRead r = ReadScriptFile(file.path());

    const auto lines = fuzz::PlainLines(bytes);
    const std::string fence(1, '\x01');
    ScriptFile want;
    ScriptFileShape shape = ScriptFileShape::Complete;
    if (lines.size() < 2) {
        shape = ScriptFileShape::TooShort;
        if (!lines.empty())
            want.target = lines[0];
    } else {
        want.target = lines[0];
        std::size_t i = 1;
        if (lines[1] == fence) {
            std::vector<std::string> desc;
            for (i = 2; i < lines.size() && lines[i] != fence; ++i)
                desc.push_back(lines[i]);
            for (std::size_t d = 0; d < desc.size(); ++d)
                want.description += (d ? "\r\n" : "") + desc[d];
            if (i == lines.size())
                shape = ScriptFileShape::OpenFence;
            else
                ++i;
        }
        if (shape == ScriptFileShape::Complete)
            want.commands.assign(lines.begin() + static_cast<std::ptrdiff_t>(i), lines.end());
    }
    FUZZ_CHECK(r.shape == shape);
    FUZZ_CHECK(r.script.target == want.target);
    FUZZ_CHECK(r.script.description == want.description);
    FUZZ_CHECK(r.script.commands == want.commands);

    // Saved again, what was read reads back the same.
    const ScriptFileRead back = ParseScriptFile(ScriptFileBytes(r.script));
    FUZZ_CHECK(back.shape == ScriptFileShape::Complete);
    FUZZ_CHECK(back.script.target == r.script.target);
    FUZZ_CHECK(back.script.description == r.script.description);
    FUZZ_CHECK(back.script.commands == r.script.commands);
    return 0;
}
