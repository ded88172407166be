#pragma once
// The per-user settings file in the working folder: "<user>.dat", read once at start-up and
// written at shut-down. Lines end with CR LF; lines holding only the byte 0x01 separate
// the sections:
//
//   tab number | sep | protected cookie sources... | sep | sep | checked script names... |
//   sep | sep | delay text | sep | sep | bleach folder | sep
//
// This side only turns settings into bytes and back; the pages hand the values in and take
// them out (the Qt side lives beside frmMain).
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace brimlow {

inline constexpr const char* kGlobalUser = "GlobalUser";
inline constexpr std::string_view kSettingsSeparator = "\x01";

// The user part of the file name: the login name lower-cased, or "GlobalUser" (as written)
// when no name can be read. Any length works.
std::string SettingsUserPart(const std::string& loginName);
std::filesystem::path UserSettingsPath(const Platform& platform);

struct UserSettings {
    int tab = 0;                                // the main window's current page
    std::vector<std::string> protectedCookies;  // "Protected Cookies:", in list order
    std::vector<std::string> checkedScripts;    // the checked script names, in list order
    std::string delay;                          // the delay box's text as typed
    std::string bleachFolder;                   // the Bleach Utility's folder
};

// Whether a line of the file can hold `text` and give it back as it was: no line end in it.
// A list entry must not be the separator either, or it would end its list.
bool FitsOnASettingsLine(std::string_view text) noexcept;
bool FitsInASettingsList(std::string_view entry) noexcept;

// The file's bytes for these settings, which read back as they were written. What no line
// can hold is not written: a list entry that holds a line end or is the separator itself is
// left out, a text that holds a line end is written empty, and a tab number outside 0..5 is
// written as 0.
std::string UserSettingsText(const UserSettings& settings);

// Writes the file through a temporary file renamed over the old one, so an abrupt end
// leaves the old file or the new one, never a part. Failures throw RuntimeError.
void SaveUserSettings(const Platform& platform, const UserSettings& settings);

// What a settings file gives back. A file that ends early gives what it holds: a list cut
// short keeps the lines it has, and a value the file does not reach stays unset (the
// control keeps what it shows).
struct RestoredSettings {
    std::vector<std::string> protectedCookies;  // added to the end of "Protected Cookies:"
    std::vector<std::string> selectedScripts;   // the keys of SelectedScripts, file order
    std::optional<std::string> delay;
    std::optional<std::string> bleachFolder;    // as stored; see BleachFolderToOpen
};

// Reads the bytes of a settings file. Nothing when the first line is not a number whose
// value, rounded to a whole number, lies in 0..5: then nothing else is restored.
std::optional<RestoredSettings> ReadUserSettings(std::string_view bytes);

// What the start-up found at the settings file's path.
struct SettingsLoad {
    enum class State {
        Missing,     // no file, or an empty one: nothing to restore and nothing to keep
        Restored,    // a settings file: `restored` holds what it gave back
        Refused,     // a file whose first line is no tab number: not a settings file
        Unreadable,  // a file that cannot be opened or read (another owner, a FIFO, ...)
    };
    State state = State::Missing;
    std::optional<RestoredSettings> restored;
    int errorNumber = 0;  // Unreadable: the runtime error number
    std::filesystem::path path;

    // Whether this run may write its settings over the file. A file it could not read, or
    // one that is no settings file, is somebody's data: it stays as it is.
    bool mayReplace() const { return state == State::Missing || state == State::Restored; }
};

// Reads the user's file and fills SelectedScripts from it (emptied first).
SettingsLoad LoadUserSettings(const Platform& platform);

// For a file this run keeps as it is: the message the start-up shows, and its log entry
// ("ERROR: ...", ended by CR LF). Both name the path.
std::string SettingsNotReadMessage(const SettingsLoad& load);
std::string SettingsNotReadLogEntry(const SettingsLoad& load);

// The stored folder when it exists, else the root of the file system.
std::string BleachFolderToOpen(const std::string& storedFolder);

// Whether `name` was a checked script in the settings read at start-up, in any letter case.
bool IsScriptSelected(std::string_view name);
// Drops SelectedScripts (the exit clean-up).
void ReleaseSelectedScripts();

}  // namespace brimlow
