#pragma once
// Permission denials that hold for whoever runs the suite. For the scope, the given paths take
// the given modes and, when the suite runs as root (whom modes do not stop), the process takes
// the real and effective ids of nobody (65534). The change is this process's own, for all its
// threads: nothing is forked, so a running QApplication is left alone, and the saved root id
// gives the test its identity back at the end of the scope.
#include <filesystem>
#include <initializer_list>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace brimlow::test {

class Unprivileged {
public:
    using Mode = std::pair<std::filesystem::path, mode_t>;
    explicit Unprivileged(std::initializer_list<Mode> modes = {});
    ~Unprivileged();
    Unprivileged(const Unprivileged&) = delete;
    Unprivileged& operator=(const Unprivileged&) = delete;

    // False when a mode or the identity could not be taken: a denial would prove nothing.
    bool ok() const { return m_ok; }
    // The user the scope runs as: what that user must own, the test gives to this id.
    static uid_t User();
    static gid_t Group();

private:
    std::vector<Mode> m_before;  // each path with the mode it had
    std::vector<gid_t> m_groups;
    bool m_dropped = false;
    bool m_ok = true;
};

}  // namespace brimlow::test
