#pragma once
// Finding the program that a name stands for, as a shell does: a name with a "/" is a
// path, used as given (a relative one from the current folder); a bare name is looked up in
// the folders of PATH, in order, and the first executable regular file of that name wins.
#include <filesystem>
#include <string>

namespace brimlow {

enum class ProgramProblem {
    Found,           // no problem: the program is there
    NotFound,        // no file of that name (in no folder of the PATH, for a bare name)
    NotRegularFile,  // a folder, a device, a pipe
    NotExecutable,   // a file that this user may not run
    Unreadable,      // the file could not be looked at; `error` says why
};

struct ProgramLookup {
    std::filesystem::path path;  // the program, as an absolute path (when found)
    ProgramProblem problem = ProgramProblem::Found;
    int error = 0;               // the errno of an Unreadable file
    bool searchedPath = false;   // a bare name, looked up on the PATH
};

// `searchPath` has PATH's form: folders separated by ":". Empty and relative entries are
// skipped: each would name another folder for each folder the program is started from.
// When no folder holds a program of that name, the first file of that name that cannot be
// run says why.
ProgramLookup FindProgram(const std::string& name, const std::string& searchPath);
// With this process's PATH, or the system's default path when PATH is not set.
ProgramLookup FindProgram(const std::string& name);

// Why the program cannot be started, in words for the activity log ("the program is not
// executable"); "" when it was found.
std::string DescribeProgramProblem(const ProgramLookup& lookup);

}  // namespace brimlow
