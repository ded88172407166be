// gtest main for GUI tests: every test runs under the offscreen platform with a private
// runtime folder, so nothing reaches a screen and no session state leaks between runs.
#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::string runtime = "/tmp/brimlow-xdg-XXXXXX";
    if (mkdtemp(runtime.data())) {
        ::chmod(runtime.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    const int rc = RUN_ALL_TESTS();
    if (runtime.find("XXXXXX") == std::string::npos)
        ::rmdir(runtime.c_str());
    return rc;
}
