#pragma once
// Stand-ins for the pages around the core runs: a journal with a fixed date and time, a
// cookie editor that deletes from a list, a Quick Clean Up page of plain lists, and a
// script editor that plays through a real ScriptPlayer.
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "cookies/CookieSourceDeleter.h"
#include "host/ScriptRunner.h"
#include "platform/TextFile.h"
#include "scripts/CleanupRun.h"
#include "scripts/MScriptEditor.h"
#include "scripts/RunJournal.h"
#include "scripts/ScriptPlayer.h"

namespace brimlow::test {

// How often `what` stands in `text`.
inline std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

class TestJournal final : public RunJournal {
public:
    void Log(const std::string& text) override { log += text; }
    std::string DateText() override { return "12/10/26"; }
    std::string TimeText() override { return "09:00"; }
    std::string log;
};

// Deletes the selected source from its list and logs it; a refused source stays.
class ListCookies final : public CookieSourceDeleter {
public:
    explicit ListCookies(RunJournal& journal) : m_journal(journal) {}
    const std::vector<CookieEntry>& LoadedCookieEntries() const override { return m_entries; }
    std::size_t CookieSourceCount() const override { return sources.size(); }
    std::string CookieSourceText(std::size_t index) const override { return sources.at(index); }
    void SelectCookieSource(std::size_t index) override { m_selected = index; }
    void DeleteCookieSource() override
    {
        if (m_selected >= sources.size())
            return;
        const std::string source = sources[m_selected];
        if (whileDeleting)
            whileDeleting();  // the real editor lets messages run here
        if (refused.count(source)) {
            m_journal.Log("refused " + source + "\r\n");
            return;
        }
        m_journal.Log("deleted " + source + "\r\n");
        std::erase(sources, source);
        ++deleted;
    }
    bool DeletionRunning() const override { return false; }
    void RefreshCookies() override {}
    void BeginDeletionPass() override {}
    void EndDeletionPass() override {}

    std::vector<std::string> sources;
    std::set<std::string> refused;
    std::function<void()> whileDeleting;
    int deleted = 0;

private:
    RunJournal& m_journal;
    std::vector<CookieEntry> m_entries;
    std::size_t m_selected = 0;
};

// The Quick Clean Up page's lists: "Cookies To Be Deleted:" is rebuilt from the editor's
// sources, less the protected ones.
class ListHost final : public CleanupRunHost {
public:
    explicit ListHost(ListCookies& cookies) : m_cookies(cookies) {}
    std::vector<std::string> CookiesToDelete() override { return toDelete; }
    void ClearCookiesToDelete() override { toDelete.clear(); }
    void RebuildCookieLists() override
    {
        toDelete.clear();
        for (const auto& s : m_cookies.sources)
            if (!protect.count(s))
                toDelete.push_back(s);
    }
    std::vector<CleanupScript> ScriptList() override { return scripts; }
    void PassStarted(std::size_t) override { ++passes; }
    void PassProgress(std::size_t) override {}
    void PassEnded() override {}
    void RunMoved() override { ++ticks; }

    std::vector<std::string> toDelete;
    std::set<std::string> protect;
    std::vector<CleanupScript> scripts;
    int passes = 0;
    int ticks = 0;

private:
    ListCookies& m_cookies;
};

// The Script Editor as far as the clean-up sees it: a loaded script, played by a player.
class PlayerScripts final : public ScriptRunner {
public:
    PlayerScripts(Platform& platform, RunJournal& journal)
        : player(platform, journal, [this](ScriptRunEnd how) {
              if (m_listener)
                  m_listener->ScriptRunEnded(how);
          })
    {
    }
    bool LoadScriptFile(const std::filesystem::path& path) override
    {
        loaded.push_back(path.filename().string());
        if (!textfile::FileExists(path))
            return false;
        const ScriptFile file = ReadScriptFile(path).script;
        target = file.target;
        commands = file.commands;
        return true;
    }
    void EmptyScript() override {}
    void ClearCommand() override {}
    bool TestScript() override { return player.Play(target, commands) == PlayStart::Started; }
    bool IsPlaying() const override { return player.IsPlaying(); }
    void SetRunListener(ScriptRunListener* listener) override { m_listener = listener; }

    ScriptPlayer player;
    std::string target;
    std::vector<std::string> commands;
    std::vector<std::string> loaded;

private:
    ScriptRunListener* m_listener = nullptr;
};

// Hands a script run's end to the clean-up, as the Quick Clean Up page does.
class RunListener final : public ScriptRunListener {
public:
    explicit RunListener(CleanupRun& run) : m_run(run) {}
    bool ScriptRunEnded(ScriptRunEnd how) override { return m_run.ScriptEnded(how); }
    bool CleanupUnderWay() const override { return m_run.UnderWay(); }

private:
    CleanupRun& m_run;
};

}  // namespace brimlow::test
