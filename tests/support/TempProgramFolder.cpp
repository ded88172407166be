#include "support/TempProgramFolder.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/stat.h>

namespace brimlow::test {

namespace fs = std::filesystem;

std::filesystem::path BuiltProgramFolder()
{
    return fs::path(BRIMLOW_PROGRAM_DIR);
}

TempProgramFolder::TempProgramFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/brimlow-test-XXXXXX";
    if (!mkdtemp(templ.data()))
        throw std::runtime_error("mkdtemp failed");
    m_root = templ;
    m_folder = m_root / "prog dir";
    m_store = m_root / "inetcache";
    fs::create_directories(m_folder);
    if (const char* old = std::getenv("INETCACHE_DIR")) {
        m_hadStore = true;
        m_oldStore = old;
    }
    setenv("INETCACHE_DIR", m_store.c_str(), 1);
}

TempProgramFolder::~TempProgramFolder()
{
    if (m_hadStore)
        setenv("INETCACHE_DIR", m_oldStore.c_str(), 1);
    else
        unsetenv("INETCACHE_DIR");
    std::error_code ec;
    // Tests take rights away on purpose; give them back so everything can go.
    for (auto it = fs::recursive_directory_iterator(m_root, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_symlink())
            ::chmod(it->path().c_str(), 0700);
    }
    ::chmod(m_root.c_str(), 0700);
    ::chmod(m_folder.c_str(), 0700);
    fs::remove_all(m_root, ec);
}

std::filesystem::path TempProgramFolder::WithUrlHound() const
{
    const fs::path src = BuiltProgramFolder() / "UrlHound";
    const fs::path dst = m_folder / "UrlHound";
    fs::copy_file(src, dst, fs::copy_options::overwrite_existing);
    return dst;
}

void TempProgramFolder::Write(const std::string& name, const std::string& bytes) const
{
    WriteFile(m_folder / name, bytes);
}

void TempProgramFolder::WriteFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write fixture " + path.string());
}

std::string TempProgramFolder::Read(const std::string& name) const
{
    return ReadFile(m_folder / name);
}

unsigned TempProgramFolder::ModeOf(const std::filesystem::path& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

std::string TempProgramFolder::ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempProgramFolder::Exists(const std::string& name) const
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(m_folder / name, ec));
}

}  // namespace brimlow::test
