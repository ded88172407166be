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
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
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
// A file read whole into a block of its own (HugeBlock), for a big file that is read once
// and then viewed, and rewritten, in place: no byte of it is copied or cleared twice.
struct FileBlock {
    HugeBlock bytes;
    std::size_t size = 0;
};
// The reading of a FileBlock, by a thread of its own, so that the caller works on the bytes
// that have arrived while the rest is read: the copy of a 14 MB dump out of the page cache
// takes a millisecond or more, which the parse of the bytes before it then hides. The block
// is sized from the file when it is opened and never moves, so views of it stay good; a
// file that grows past that room meanwhile is read as far as the room goes, and Finish says
// so. `reuse`, a block whose bytes nobody looks at any more (the load being replaced), is
// taken when it is large enough, so a reload touches no fresh memory (HugeBlock::Renew).
class BlockReading {
public:
    // Opens the file (regular files only, as every open here) and starts the reading; the
    // reads go through `calls` when given (a test makes them slow there).
    BlockReading(const fs::path& path, FileBlock reuse, FileCalls* calls = nullptr);
    // Stops the reading and waits for it.
    ~BlockReading();
    BlockReading(const BlockReading&) = delete;
    BlockReading& operator=(const BlockReading&) = delete;

    char* data() const noexcept { return m_file.bytes.data(); }
    // The file's size when it was opened.
    std::size_t size() const noexcept { return m_size; }
    // Waits until more than `have` bytes have arrived or the reading has ended (`ended`);
    // the bytes that have arrived, which the reading no longer touches. The block holds 64
    // bytes of room past the last of them.
    std::size_t WaitPast(std::size_t have, bool& ended) const noexcept;
    // Waits for the end: the file's bytes, or RuntimeError when a read failed. `whole` is
    // false when the file grew past the block's room while it was read.
    FileBlock Finish(bool& whole);

private:
    struct Half {
        std::size_t start = 0;
        std::size_t end = 0;  // the room it may fill
        std::atomic<std::size_t> in{0};  // the bytes from `start` that have arrived
        int error = 0;       // errno of a failed read; read once the reading has ended
        bool full = false;   // the last half: the room was filled before the file's end
    };
    void Read(int half) noexcept;
    void Publish(bool ended) noexcept;

    FileBlock m_file;
    FileCalls* m_calls;
    int m_fd = -1;
    std::size_t m_size = 0;
    std::size_t m_room = 0;  // the bytes the reading may fill
    int m_halves = 1;
    Half m_half[2];
    // The bytes that have arrived, from the start on, and kEnded once the reading has ended:
    // one word, so that a wait for it wakes for either.
    static constexpr std::size_t kEnded = std::size_t{1} << (sizeof(std::size_t) * 8 - 1);
    std::atomic<std::size_t> m_state{0};
    std::atomic<int> m_running{0};
    std::atomic<bool> m_stop{false};
    std::thread m_readers[2];
};

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
