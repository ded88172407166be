#include "shell/MAboutBox.h"

#include <cstdio>

#include "platform/Errors.h"
#include "platform/TextFile.h"

namespace brimlow {

namespace {
constexpr std::size_t kValueBuffer = 1024;
}

bool GetKeyValue(const Platform& platform, std::uint32_t keyRoot, const std::string& keyName,
                 const std::string& subKeyRef, std::string& keyVal)
{
    std::optional<RegistryValue> value;
    if (platform.registry)
        value = platform.registry->QueryValue(keyRoot, keyName, subKeyRef);
    if (!value || value->data.size() > kValueBuffer) {
        keyVal.clear();
        return false;
    }
    const std::string& data = value->data;
    if (data.empty())
        throw RuntimeError(err::Unknown, "registry value without data");
    // A value that fills the buffer without a closing NUL is used whole.
    const std::string kept = data.back() == '\0' ? data.substr(0, data.size() - 1) : data;
    if (value->type == kRegSz) {
        keyVal = kept;
    } else if (value->type == kRegDword) {
        // The bytes, last first, each as hex digits without leading zeros, read back as one
        // hexadecimal number and written in decimal.
        std::string hex;
        for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
            char digits[4];
            std::snprintf(digits, sizeof digits, "%X", static_cast<unsigned char>(*it));
            hex += digits;
        }
        hex = keyVal + hex;
        unsigned long long number = 0;
        bool isNumber = !hex.empty() && hex.size() <= 16;
        for (char c : hex) {
            const int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
            if (d < 0) {
                isNumber = false;
                break;
            }
            number = number * 16 + static_cast<unsigned>(d);
        }
        keyVal = isNumber ? std::to_string(number) : "&h" + hex;
    }
    return true;
}

void StartSysInfo(const Platform& platform)
{
    try {
        std::string path;
        bool found = GetKeyValue(platform, kHKeyLocalMachine, kSysInfoKey, kSysInfoValue, path);
        if (!found && GetKeyValue(platform, kHKeyLocalMachine, kSysInfoLocationKey, kSysInfoLocationValue, path)) {
            const auto tool = textfile::InFolder(path, "\\MSINFO32.EXE");
            if (textfile::FileExists(tool)) {
                path = tool.string();
                found = true;
            }
        }
        if (found && platform.starter && platform.starter->StartDetached(path))
            return;
    } catch (const std::exception&) {
        // Any failure on the way means the same to the user: the tool is not there.
    }
    platform.dialogs->MsgBox(kSysInfoUnavailable, kProgramTitle, MsgBoxButtons::Ok, MsgBoxIcon::None);
}

}  // namespace brimlow
