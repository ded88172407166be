#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/inetcache/PieceReader.h"
#include "support/TempProgramFolder.h"

using namespace brimlow;
using brimlow::inetcache::sqlite::PieceReader;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kPiece = 64 * 1024;

char ByteAt(std::size_t i)
{
    return static_cast<char>(i * 7 % 251);
}

struct Buffer {
    char* p = static_cast<char*>(std::malloc(kPiece));
    ~Buffer() { std::free(p); }
};

}  // namespace

// A piece read ahead serves only the transaction it was asked in, only a read that falls in
// it, only once, and only when the file held all of it: anything else would hand the walk
// bytes of another moment or another place in the file.
TEST(PieceReader, GivesAPieceOnlyWholeToItsOwnTransactionAndPlaceAndOnce)
{
    test::TempProgramFolder dir;
    const fs::path file = dir.root() / "index.sqlite";
    std::string bytes(3 * kPiece + 100, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = ByteAt(i);
    test::TempProgramFolder::WriteFile(file, bytes);
    const std::unique_ptr<PieceReader> reader = PieceReader::Open(file.c_str(), kPiece);
    ASSERT_TRUE(reader);
    Buffer buf;
    std::int64_t start = -1;
    std::size_t length = 0;

    reader->Ask(kPiece, kPiece, 1);
    for (const auto& [offset, generation] : {std::pair<std::int64_t, unsigned>{kPiece + 5, 2},
                                             {kPiece - 1, 1},
                                             {2 * kPiece, 1}}) {
        SCOPED_TRACE(std::to_string(offset) + " in " + std::to_string(generation));
        EXPECT_FALSE(reader->Take(offset, generation, buf.p, start, length));
    }
    char* const mine = buf.p;
    ASSERT_TRUE(reader->Take(2 * kPiece - 1, 1, buf.p, start, length));
    EXPECT_NE(buf.p, mine);  // traded, not copied
    EXPECT_EQ(start, static_cast<std::int64_t>(kPiece));
    EXPECT_EQ(length, kPiece);
    EXPECT_EQ(std::string(buf.p, kPiece), bytes.substr(kPiece, kPiece));
    EXPECT_FALSE(reader->Take(kPiece, 1, buf.p, start, length));

    // The file ends 100 bytes into this piece.
    reader->Ask(3 * kPiece, kPiece, 1);
    EXPECT_FALSE(reader->Take(3 * kPiece, 1, buf.p, start, length));
    reader->Ask(3 * kPiece, 100, 1);
    ASSERT_TRUE(reader->Take(3 * kPiece, 1, buf.p, start, length));
    EXPECT_EQ(std::string(buf.p, 100), bytes.substr(3 * kPiece));

    // Closed with a read under way: the reader waits for it.
    reader->Ask(0, kPiece, 3);
}

TEST(PieceReader, ReadsOnlyARegularFileThatIsThere)
{
    test::TempProgramFolder dir;
    const fs::path fifo = dir.root() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(PieceReader::Open(fifo.c_str(), kPiece));  // and does not wait for a writer
    EXPECT_FALSE(PieceReader::Open((dir.root() / "missing").c_str(), kPiece));
    EXPECT_FALSE(PieceReader::Open(dir.root().c_str(), kPiece));
}
