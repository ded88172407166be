// The key-sequence parser: every press is released, in reverse order; a modifier is never
// pressed while it is held; keys are named keys or one character.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "platform/SendKeys.h"

using namespace brimlow;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string seq(reinterpret_cast<const char*>(data), size);
    const auto events = ParseSendKeys(seq);
    std::vector<std::string> held;
    std::size_t keys = 0;
    for (const KeyEvent& e : events) {
        FUZZ_CHECK(!e.key.empty());
        FUZZ_CHECK(e.key.size() <= 4 || IsNamedKey(e.key));
        if (e.down) {
            FUZZ_CHECK(std::find(held.begin(), held.end(), e.key) == held.end());
            held.push_back(e.key);
            ++keys;
        } else {
            FUZZ_CHECK(!held.empty() && held.back() == e.key);
            held.pop_back();
        }
    }
    FUZZ_CHECK(held.empty());
    // At most every byte once, or a repeat count's worth per braced item.
    FUZZ_CHECK(keys <= (size + 1) * (kMaxRepeat + 3));
    return 0;
}
