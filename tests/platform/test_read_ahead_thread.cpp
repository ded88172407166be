#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/inetcache/ReadAheadThread.h"
#include "support/TempProgramFolder.h"

using namespace brimlow;
using brimlow::inetcache::sqlite::ReadAheadThread;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kChunk = 64 * 1024;

char ByteAt(std::size_t i)
{
    return static_cast<char>(i * 7 % 251);
}

struct Buffer {
    char* p = static_cast<char*>(std::malloc(kChunk));
    ~Buffer() { std::free(p); }
};

}  // namespace

// A chunk read ahead serves only the transaction it was asked in, only a read that falls in
// it, only once, and only when the file held all of it: anything else would hand the walk
// bytes of another moment or another place in the file.
TEST(ReadAheadThread, GivesAChunkOnlyWholeToItsOwnTransactionAndPlaceAndOnce)
{
    test::TempProgramFolder dir;
    const fs::path file = dir.root() / "index.sqlite";
    std::string bytes(3 * kChunk + 100, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = ByteAt(i);
    test::TempProgramFolder::WriteFile(file, bytes);
    const std::unique_ptr<ReadAheadThread> reader = ReadAheadThread::Open(file.c_str(), kChunk);
    ASSERT_TRUE(reader);
    Buffer buf;
    std::int64_t start = -1;
    std::size_t length = 0;

    reader->Ask(kChunk, kChunk, 1);
    for (const auto& [offset, generation] : {std::pair<std::int64_t, unsigned>{kChunk + 5, 2},
                                             {kChunk - 1, 1},
                                             {2 * kChunk, 1}}) {
        SCOPED_TRACE(std::to_string(offset) + " in " + std::to_string(generation));
        EXPECT_FALSE(reader->Take(offset, generation, buf.p, start, length));
    }
    char* const mine = buf.p;
    ASSERT_TRUE(reader->Take(2 * kChunk - 1, 1, buf.p, start, length));
    EXPECT_NE(buf.p, mine);  // traded, not copied
    EXPECT_EQ(start, static_cast<std::int64_t>(kChunk));
    EXPECT_EQ(length, kChunk);
    EXPECT_EQ(std::string(buf.p, kChunk), bytes.substr(kChunk, kChunk));
    EXPECT_FALSE(reader->Take(kChunk, 1, buf.p, start, length));

    // The file ends 100 bytes into this chunk.
    reader->Ask(3 * kChunk, kChunk, 1);
    EXPECT_FALSE(reader->Take(3 * kChunk, 1, buf.p, start, length));
    reader->Ask(3 * kChunk, 100, 1);
    ASSERT_TRUE(reader->Take(3 * kChunk, 1, buf.p, start, length));
    EXPECT_EQ(std::string(buf.p, 100), bytes.substr(3 * kChunk));

    // Closed with a read under way: the reader waits for it.
    reader->Ask(0, kChunk, 3);
}

TEST(ReadAheadThread, ReadsOnlyARegularFileThatIsThere)
{
    test::TempProgramFolder dir;
    const fs::path fifo = dir.root() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadAheadThread::Open(fifo.c_str(), kChunk));  // and does not wait for a writer
    EXPECT_FALSE(ReadAheadThread::Open((dir.root() / "missing").c_str(), kChunk));
    EXPECT_FALSE(ReadAheadThread::Open(dir.root().c_str(), kChunk));
}
