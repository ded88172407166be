#include "support/AsOtherUser.h"

#include <cstdlib>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brimlow::test {

int RunAsOtherUser(const std::function<int()>& body)
{
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (geteuid() == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
                _exit(250);
        }
        int rc = 0;
        try {
            rc = body();
        } catch (...) {
            rc = 251;
        }
        _exit(rc & 0xff);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

}  // namespace brimlow::test
