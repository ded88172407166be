#include "support/Unprivileged.h"

#include <grp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brimlow::test {

namespace {
constexpr uid_t kNobody = 65534;
bool Root() { return ::getuid() == 0; }
}  // namespace

uid_t Unprivileged::User() { return Root() ? kNobody : ::geteuid(); }
gid_t Unprivileged::Group() { return Root() ? static_cast<gid_t>(kNobody) : ::getegid(); }

Unprivileged::Unprivileged(std::initializer_list<Mode> modes)
{
    for (const auto& [path, mode] : modes) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || ::chmod(path.c_str(), mode) != 0) {
            m_ok = false;
            continue;
        }
        m_before.emplace_back(path, st.st_mode & 07777);
    }
    if (!Root())
        return;
    const int n = ::getgroups(0, nullptr);
    m_groups.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    if (n > 0 && ::getgroups(n, m_groups.data()) != n)
        m_groups.clear();
    // Real and effective ids both, since access() asks with the real ones; the saved ids stay
    // root's, which lets the end of the scope take them back. Groups and group first: once
    // the user id is nobody's, they can no longer be changed.
    const gid_t nobodyGroup = static_cast<gid_t>(kNobody);
    m_dropped = ::setgroups(0, nullptr) == 0 && ::setresgid(nobodyGroup, nobodyGroup, 0) == 0 &&
                ::setresuid(kNobody, kNobody, 0) == 0;
    m_ok = m_ok && m_dropped;
}

Unprivileged::~Unprivileged()
{
    if (Root() || m_dropped) {
        [[maybe_unused]] const int u = ::setresuid(0, 0, 0);
        [[maybe_unused]] const int g = ::setresgid(0, 0, 0);
        [[maybe_unused]] const int s = ::setgroups(m_groups.size(), m_groups.data());
        // A change of the effective user made the process undumpable; the sanitizers' leak
        // check and /proc/self want it back as it was.
        ::prctl(PR_SET_DUMPABLE, 1);
    }
    for (auto it = m_before.rbegin(); it != m_before.rend(); ++it)
        ::chmod(it->first.c_str(), it->second);
}

}  // namespace brimlow::test
