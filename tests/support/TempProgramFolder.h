#pragma once
// A program folder of its own for one test, under a fresh temporary folder, with a private
// Internet cache store (INETCACHE_DIR) beside it. The folder name holds a space on purpose.
// WithUrlHound() copies the built UrlHound in, so the runner, the tool and the store are
// the real ones.
#include <filesystem>
#include <string>

namespace brimlow::test {

class TempProgramFolder {
public:
    TempProgramFolder();
    ~TempProgramFolder();
    TempProgramFolder(const TempProgramFolder&) = delete;
    TempProgramFolder& operator=(const TempProgramFolder&) = delete;

    const std::filesystem::path& root() const { return m_root; }
    const std::filesystem::path& folder() const { return m_folder; }
    const std::filesystem::path& storeFolder() const { return m_store; }
    std::filesystem::path file(const std::string& name) const { return m_folder / name; }

    // Copies the built UrlHound into the program folder; returns its path.
    std::filesystem::path WithUrlHound() const;

    // Helpers for fixtures.
    void Write(const std::string& name, const std::string& bytes) const;
    std::string Read(const std::string& name) const;
    bool Exists(const std::string& name) const;
    // Writes any file (its folder must exist).
    static void WriteFile(const std::filesystem::path& path, const std::string& bytes);
    static std::string ReadFile(const std::filesystem::path& path);
    // The permission bits of the path itself (a link is not followed); 0 when it is missing.
    static unsigned ModeOf(const std::filesystem::path& path);

private:
    std::filesystem::path m_root;
    std::filesystem::path m_folder;
    std::filesystem::path m_store;
    std::string m_oldStore;
    bool m_hadStore = false;
};

// The folder the build put Brimlow and UrlHound into.
std::filesystem::path BuiltProgramFolder();

}  // namespace brimlow::test
