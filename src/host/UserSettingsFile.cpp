#include "host/UserSettingsFile.h"

#include <cerrno>
#include <sys/stat.h>

#include "platform/AtomicFile.h"
#include "platform/Errors.h"
#include "platform/Numbers.h"
#include "platform/TextFile.h"

namespace brimlow {

namespace {

// The names read at start-up, lower-cased: the collection's keys ignore letter case.
std::vector<std::string>& SelectedScripts()
{
    static std::vector<std::string> keys;
    return keys;
}

void AddSelectedScript(std::string_view name)
{
    // A name listed twice (in any letter case) is one key.
    if (!IsScriptSelected(name))
        SelectedScripts().push_back(textfile::LowerCaseName(name));
}

// Reads lines up to (not including) the next separator, or to the end of the bytes.
std::vector<std::string> ReadList(std::string_view& rest)
{
    std::vector<std::string> items;
    std::string_view line;
    while (textfile::NextLine(rest, line) && line != kSettingsSeparator)
        items.emplace_back(line);
    return items;
}

// Drops `n` lines; false when the bytes end first.
bool Skip(std::string_view& rest, int n)
{
    std::string_view line;
    for (int i = 0; i < n; ++i)
        if (!textfile::NextLine(rest, line))
            return false;
    return true;
}

std::optional<std::string> ReadValue(std::string_view& rest)
{
    std::string_view line;
    if (!textfile::NextLine(rest, line))
        return std::nullopt;
    return std::string(line);
}

}  // namespace

std::string SettingsUserPart(const std::string& loginName)
{
    return loginName.empty() ? std::string(kGlobalUser) : textfile::LowerCaseName(loginName);
}

std::filesystem::path UserSettingsPath(const Platform& platform)
{
    const std::string user = platform.user ? platform.user->LoginName() : std::string();
    return textfile::InFolder(platform.programFolder, SettingsUserPart(user) + ".dat");
}

bool FitsOnASettingsLine(std::string_view text) noexcept
{
    return text.find('\n') == std::string_view::npos;
}

bool FitsInASettingsList(std::string_view entry) noexcept
{
    return FitsOnASettingsLine(entry) && entry != kSettingsSeparator;
}

std::string UserSettingsText(const UserSettings& settings)
{
    std::string text;
    const auto line = [&text](std::string_view s) {
        text.append(s);
        text.append("\r\n");
    };
    // What no line can hold would read back as other lines: a list entry that did would end
    // its list early or shift every value after it, so it is left out; a text is written empty.
    const auto fits = FitsOnASettingsLine;
    const auto list = [&](const std::vector<std::string>& entries) {
        for (const auto& e : entries)
            if (FitsInASettingsList(e))
                line(e);
    };
    // A tab number the reader refuses would make it refuse the whole file.
    line(std::to_string(settings.tab >= 0 && settings.tab <= 5 ? settings.tab : 0));
    line(kSettingsSeparator);
    list(settings.protectedCookies);
    line(kSettingsSeparator);
    line(kSettingsSeparator);
    list(settings.checkedScripts);
    line(kSettingsSeparator);
    line(kSettingsSeparator);
    line(fits(settings.delay) ? settings.delay : std::string_view());
    line(kSettingsSeparator);
    line(kSettingsSeparator);
    line(fits(settings.bleachFolder) ? settings.bleachFolder : std::string_view());
    line(kSettingsSeparator);
    return text;
}

void SaveUserSettings(const Platform& platform, const UserSettings& settings)
{
    textfile::WriteAllAtomically(UserSettingsPath(platform), UserSettingsText(settings), platform.files);
}

std::optional<RestoredSettings> ReadUserSettings(std::string_view bytes)
{
    std::string_view rest = bytes;
    // A file cut between the CR and the LF of its last line end.
    if (!rest.empty() && rest.back() == '\r')
        rest.remove_suffix(1);
    std::string_view first;
    if (!textfile::NextLine(rest, first))
        return std::nullopt;
    const std::optional<double> tab = NumericValue(first);
    if (!tab || !(RoundHalfEven(*tab) >= 0 && RoundHalfEven(*tab) <= 5))
        return std::nullopt;
    RestoredSettings restored;
    if (!Skip(rest, 1))
        return restored;
    restored.protectedCookies = ReadList(rest);
    if (!Skip(rest, 1))
        return restored;
    restored.selectedScripts = ReadList(rest);
    if (!Skip(rest, 1))
        return restored;
    restored.delay = ReadValue(rest);
    if (!restored.delay || !Skip(rest, 2))
        return restored;
    restored.bleachFolder = ReadValue(rest);
    return restored;
}

SettingsLoad LoadUserSettings(const Platform& platform)
{
    SelectedScripts().clear();
    SettingsLoad load;
    load.path = UserSettingsPath(platform);
    struct stat st;
    if (::lstat(load.path.c_str(), &st) != 0 && errno == ENOENT)
        return load;
    std::string bytes;
    try {
        bytes = textfile::ReadAll(load.path);
    } catch (const RuntimeError& e) {
        load.state = SettingsLoad::State::Unreadable;
        load.errorNumber = e.number();
        return load;
    }
    if (bytes.empty())
        return load;  // what a writer cut short before its first byte leaves
    load.restored = ReadUserSettings(bytes);
    if (!load.restored) {
        load.state = SettingsLoad::State::Refused;
        return load;
    }
    load.state = SettingsLoad::State::Restored;
    for (const auto& name : load.restored->selectedScripts)
        AddSelectedScript(name);
    return load;
}

namespace {

std::string WhyNotRead(const SettingsLoad& load)
{
    return load.state == SettingsLoad::State::Refused ? "not a settings file" : ErrorNumberInWords(load.errorNumber);
}

}  // namespace

std::string SettingsNotReadMessage(const SettingsLoad& load)
{
    return "The settings could not be read (" + WhyNotRead(load) +
           ").\r\nThis run starts with the usual settings and leaves that file as it is, so the choices made "
           "in this run are not saved.\r\n\r\nSettings file: " +
           load.path.string();
}

std::string SettingsNotReadLogEntry(const SettingsLoad& load)
{
    return "ERROR: The settings could not be read (" + WhyNotRead(load) + "): " + load.path.string() + "\r\n";
}

std::string BleachFolderToOpen(const std::string& storedFolder)
{
    return !storedFolder.empty() && textfile::FolderExists(storedFolder) ? storedFolder : std::string("/");
}

bool IsScriptSelected(std::string_view name)
{
    for (const auto& key : SelectedScripts())
        if (textfile::SameNameNoCase(key, name))
            return true;
    return false;
}

void ReleaseSelectedScripts()
{
    SelectedScripts().clear();
    SelectedScripts().shrink_to_fit();
}

}  // namespace brimlow
