// The key-stroke token language: the tokens put back together are the command, a pause
// command passes unchanged, and every translation is a key sequence whose presses the
// key-sequence parser releases again.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "platform/SendKeys.h"
#include "scripts/MScriptEditor.h"

using namespace brimlow;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string command(reinterpret_cast<const char*>(data), size);
    if (size >= 2) {
        const std::string rec = KeyToToken(data[0], data[1] & 7);
        FUZZ_CHECK(BuildSendKeys(TokenizeCommand(rec)).size() <= 64);
    }

    const auto tokens = TokenizeCommand(command);
    std::string joined;
    for (const std::string& t : tokens) {
        FUZZ_CHECK(!t.empty());
        FUZZ_CHECK(t.size() == 1 || t[0] == '[');
        joined += t;
    }
    FUZZ_CHECK(joined == command);

    const std::string keys = TranslateCommand(command);
    if (IsPauseCommand(command)) {
        FUZZ_CHECK(keys == command);
        return 0;
    }
    // Only the translations of the vocabulary: letters, digits, braces of key names, the
    // prefixes, a blank and the keypad's operators.
    FUZZ_CHECK(keys.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789{}()+^%*-./ ABCDEFGHIJKLMNOPRSTUVWXYZ") ==
               std::string::npos);
    int held = 0;
    for (const KeyEvent& e : ParseSendKeys(keys))
        held += e.down ? 1 : -1;
    FUZZ_CHECK(held == 0);
    return 0;
}
