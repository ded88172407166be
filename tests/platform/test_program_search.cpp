// Finding a script's target program: a bare name on the PATH as a shell finds it, a name
// with a "/" as the path it is, and for each way of not finding one the reason in words.
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/ProgramSearch.h"
#include "support/ScopedEnv.h"
#include "support/TempProgramFolder.h"

using namespace brimlow;
namespace fs = std::filesystem;

namespace {

class ProgramSearch : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* f : {"a", "b", "c", "cwd"})
            fs::create_directories(dir.root() / f);
    }
    fs::path Folder(const char* f) const { return dir.root() / f; }
    // A file with the given mode; a folder when `mode` is 0.
    fs::path Put(const char* folder, const char* name, mode_t mode) const
    {
        const fs::path p = Folder(folder) / name;
        if (mode == 0) {
            fs::create_directories(p);
        } else {
            test::TempProgramFolder::WriteFile(p, "#!/bin/sh\n");
            ::chmod(p.c_str(), mode);
        }
        return p;
    }
    std::string SearchPath(std::initializer_list<std::string> folders) const
    {
        std::string out;
        for (const auto& f : folders)
            out += (out.empty() ? "" : ":") + f;
        return out;
    }

    test::TempProgramFolder dir;
};

// Runs a test from another current folder and comes back.
struct InFolder {
    explicit InFolder(const fs::path& p) : back(fs::current_path()) { fs::current_path(p); }
    ~InFolder() { fs::current_path(back); }
    fs::path back;
};

}  // namespace

TEST_F(ProgramSearch, ABareNameIsTheFirstExecutableFileOfThatNameOnThePath)
{
    Put("a", "edit", 0644);  // not executable: passed over
    Put("b", "edit", 0);     // a folder: passed over
    const fs::path wanted = Put("c", "edit", 0755);
    Put("cwd", "edit", 0755);
    const InFolder in(Folder("cwd"));
    // An empty entry and a relative one would be the current folder: never looked in.
    const std::string path = SearchPath({"", "cwd", ".", Folder("a"), Folder("b"), (dir.root() / "none").string(),
                                         Folder("c")});
    const ProgramLookup r = FindProgram("edit", path);
    EXPECT_EQ(r.problem, ProgramProblem::Found);
    EXPECT_EQ(r.path, wanted);
    EXPECT_TRUE(r.searchedPath);
    EXPECT_EQ(DescribeProgramProblem(r), "");

    // The same name reached through a link to it.
    fs::create_symlink(wanted, Folder("a") / "linked");
    EXPECT_EQ(FindProgram("linked", Folder("a")).problem, ProgramProblem::Found);

    // The process's own PATH is the one looked at.
    test::ScopedEnv env;
    env.Set("PATH", SearchPath({Folder("b"), Folder("c")}));
    EXPECT_EQ(FindProgram("edit").path, wanted);
}

TEST_F(ProgramSearch, ABareNameThatCannotBeRunSaysWhy)
{
    Put("a", "plain", 0644);
    Put("b", "folder", 0);
    Put("cwd", "here", 0755);
    Put("b", "plain", 0);  // the first unusable file of the name says why
    const InFolder in(Folder("cwd"));
    const std::string path = SearchPath({"", ".", Folder("a"), Folder("b")});
    struct Case {
        const char* name;
        ProgramProblem problem;
        const char* words;
    } cases[] = {
        {"missing", ProgramProblem::NotFound, "no program of that name was found on the PATH"},
        {"here", ProgramProblem::NotFound, "no program of that name was found on the PATH"},
        {"plain", ProgramProblem::NotExecutable, "the program is not executable"},
        {"folder", ProgramProblem::NotRegularFile, "the program is not a regular file"},
        {"", ProgramProblem::NotFound, "the program was not found"},
    };
    for (const Case& c : cases) {
        const ProgramLookup r = FindProgram(c.name, path);
        EXPECT_EQ(r.problem, c.problem) << c.name;
        EXPECT_EQ(DescribeProgramProblem(r), c.words) << c.name;
    }
}

TEST_F(ProgramSearch, ANameWithASlashIsAPathUsedAsGiven)
{
    const fs::path program = Put("a", "tool", 0755);
    Put("a", "plain", 0600);
    Put("a", "folder", 0);
    Put("b", "tool", 0755);  // on the PATH, but a path is never looked up there
    const InFolder in(dir.root());
    struct Case {
        std::string name;
        ProgramProblem problem;
        const char* words;
    } cases[] = {
        {program.string(), ProgramProblem::Found, ""},
        {"a/tool", ProgramProblem::Found, ""},
        {"./a/../a/tool", ProgramProblem::Found, ""},
        {"c/tool", ProgramProblem::NotFound, "the program was not found"},
        {"a/tool/x", ProgramProblem::NotFound, "the program was not found"},
        {"a/plain", ProgramProblem::NotExecutable, "the program is not executable"},
        {"a/folder", ProgramProblem::NotRegularFile, "the program is not a regular file"},
        {"a/", ProgramProblem::NotRegularFile, "the program is not a regular file"},
        {"a/" + std::string(5000, 'x'), ProgramProblem::Unreadable, "it could not be started: File name too long"},
    };
    for (const Case& c : cases) {
        const ProgramLookup r = FindProgram(c.name, Folder("b").string());
        EXPECT_EQ(r.problem, c.problem) << c.name.substr(0, 40);
        EXPECT_FALSE(r.searchedPath) << c.name.substr(0, 40);
        EXPECT_EQ(DescribeProgramProblem(r), c.words) << c.name.substr(0, 40);
        if (r.problem == ProgramProblem::Found) {
            EXPECT_TRUE(r.path.is_absolute()) << c.name;
            EXPECT_TRUE(fs::equivalent(r.path, program)) << c.name;
        }
    }
}
