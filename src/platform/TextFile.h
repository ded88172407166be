#pragma once
// The text-file layer every file-handling procedure goes through. Bytes in, bytes out:
// nothing is converted. Readers split lines at LF and drop one CR right before it, so CR LF
// and bare LF files read alike. A file is open only inside one call (or one RAII object
// that lives inside one call). Every call uses its path exactly as given; the program's own
// files in the working folder are named through InFolder, which matches their names without
// regard to letter case. A path the user chose never goes through it.
// Every open is non-blocking and takes regular files only (anything else fails with 75, the
// path/file access error), writes never follow a link at the final name, and files are
// created with mode 0600.
// Failures throw RuntimeError carrying the runtime error number (platform/Errors.h).
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/HugeBlock.h"

namespace brimlow {
class FileCalls;
}

namespace brimlow::textfile {

namespace fs = std::filesystem;

constexpr int kInputPastEnd = 62;

// The path itself when it exists, else the entry of its folder that matches its last
// component without regard to letter case, else the path unchanged (for creating it).
fs::path Resolve(const fs::path& path);

// The program's file names compare without regard to the letter case of A to Z; other
// bytes compare exactly.
bool SameNameNoCase(std::string_view a, std::string_view b) noexcept;
// The name with A to Z lower-cased, every other byte kept.
std::string LowerCaseName(std::string_view name);

// `folder` joined with `name`; a leading "\" or "/" on the name is the folder separator.
fs::path InFolder(const fs::path& folder, std::string_view name);

bool FileExists(const fs::path& path) noexcept;
bool FolderExists(const fs::path& path) noexcept;
std::uint64_t FileSize(const fs::path& path);

// force: also removes a file without write permission (the read-only attribute here).
void DeleteFile(const fs::path& path, bool force);

struct FolderFile {
    std::string name;
    fs::path path;
};
// The regular files of `folder` itself (not of its subfolders; a link counts as what it
// names), sorted by name.
std::vector<FolderFile> FolderFiles(const fs::path& folder);

std::string ReadAll(const fs::path& path);
// The same into a block of its own (HugeBlock), for a big file that is read whole and then
// viewed, and rewritten, in place: no byte of it is copied or cleared twice.
struct FileBlock {
    HugeBlock bytes;
    std::size_t size = 0;
};
// `reuse`, a block whose bytes nobody looks at any more (the load being replaced), is taken
// for the read when it is large enough, so a reload touches no fresh memory (HugeBlock::Renew);
// the block always has room past `size` to the next multiple of 64 bytes.
FileBlock ReadAllInBlock(const fs::path& path, FileBlock reuse = {});
// Creates or empties the file and writes `text` unchanged.
void WriteAll(const fs::path& path, std::string_view text);
// Replacing a file whole (temporary file, sync, rename): platform/AtomicFile.h.
// Appends `text` unchanged; the file is closed again before the call returns. The writes go
// through `calls` when given (a test stages a full disk there).
void Append(const fs::path& path, std::string_view text, bool create = true, FileCalls* calls = nullptr);

// The next line of `rest` as LineReader reads it (split at LF, one CR before it dropped),
// and `rest` moves past it; false at the end. A last line without a line end counts.
bool NextLine(std::string_view& rest, std::string_view& line) noexcept;

enum class OpenMode { Reading = 1, Writing = 2, Appending = 8 };

class TextWriter {
public:
    // Writing empties the file; create=false makes a missing file fail with 53. Reading opens
    // it read-only: nothing is emptied, and a write fails with 5.
    TextWriter(const fs::path& path, OpenMode mode, bool create = true);
    ~TextWriter();
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    void Write(std::string_view text);
    void WriteLine(std::string_view text = {});  // text, then CR LF
    void WriteBlankLines(std::size_t n);         // n times CR LF
    void Close();                                // flushes; a failure throws

private:
    void Flush();
    int m_fd = -1;
    std::string m_buf;
};

class LineReader {
public:
    explicit LineReader(const fs::path& path);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool AtEndOfStream();
    // The next line without its line end; throws kInputPastEnd at the end of the file.
    std::string ReadLine();
    // Same, into `line`; false (and `line` untouched) at the end of the file.
    bool ReadLine(std::string& line);
    std::string ReadAll();
    void Close();

private:
    bool Fill();
    int m_fd = -1;
    std::vector<char> m_buf;
    std::size_t m_pos = 0;
    std::size_t m_len = 0;
    bool m_eof = false;
};

}  // namespace brimlow::textfile
