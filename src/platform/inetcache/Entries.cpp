// The walk of the index and the commit of one entry.
#include <sqlite3.h>

#include <limits>
#include <optional>
#include <string_view>

#include "platform/Text.h"
#include "platform/inetcache/InetCache.h"
#include "platform/inetcache/Store.h"

namespace brimlow::inetcache {

using namespace detail;

std::uint32_t EntrySize(const CacheEntry& entry) noexcept
{
    std::uint64_t size = kEntryRecordSize + entry.sourceUrl.size() + 1 + entry.headerInfo.size();
    if (entry.localFileName)
        size += entry.localFileName->size() + 1;
    return size > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                            : static_cast<std::uint32_t>(size);
}

bool IsLineSafeEntry(const CacheEntry& entry) noexcept
{
    const auto lineSafe = [](std::string_view text) {
        return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
    };
    if (!lineSafe(entry.sourceUrl) || (entry.localFileName && !lineSafe(*entry.localFileName)))
        return false;
    const std::string_view header = entry.headerInfo;
    for (std::size_t start = 0;;) {
        const std::size_t lf = header.find('\n', start);
        const std::string_view line = header.substr(start, lf == std::string_view::npos ? lf : lf - start);
        if (line == "@" || line == "@\r")
            return false;
        if (lf == std::string_view::npos)
            return true;
        start = lf + 1;
    }
}

namespace {

// Headers up to this size come with the row; a bigger one is measured in the query and read
// by itself only when the caller's buffer takes it, so a walk's memory stays flat whatever
// the store holds.
constexpr std::int64_t kInlineHeaderBytes = 64 * 1024;

constexpr const char* kWalkSql =
    "SELECT url, local_file, hit_rate, expire_time, last_access_time, length(header), "
    "CASE WHEN length(header) <= ?1 THEN header END, seq FROM entries ORDER BY seq";
// A prefix walk lets the engine pass over the rows of other kinds without reading more of
// them than their url: most of a walk's time went into rows it then skipped.
constexpr const char* kPrefixWalkSql =
    "SELECT url, local_file, hit_rate, expire_time, last_access_time, length(header), "
    "CASE WHEN length(header) <= ?1 THEN header END, seq FROM entries WHERE url LIKE ?2 ESCAPE '\\' ORDER BY seq";
constexpr const char* kHeaderSql = "SELECT header FROM entries WHERE seq = ?1";

std::uint32_t Clamp32(std::uint64_t v) noexcept
{
    return v > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                         : static_cast<std::uint32_t>(v);
}

// The LIKE pattern that lets through exactly the urls that begin with `prefix` without
// regard to letter case, when there is one: LIKE folds ASCII letters only, as the walk's own
// test does, so a prefix of printable ASCII qualifies ("%", "_" and "\\" escaped). Nothing
// for any other prefix, which the walk then tests by itself alone.
std::optional<std::string> LikePatternFor(std::string_view prefix)
{
    std::string pattern;
    pattern.reserve(prefix.size() * 2 + 1);
    for (const char c : prefix) {
        if (c < 0x20 || c > 0x7e)
            return std::nullopt;
        if (c == '%' || c == '_' || c == '\\')
            pattern.push_back('\\');
        pattern.push_back(c);
    }
    pattern.push_back('%');
    return pattern;
}

// One row at a time: the statement holds the current row, and a row that did not fit the
// caller's buffer stays current until a large enough buffer takes it.
class IndexWalk final : public CacheEnumeration {
public:
    IndexWalk(sqlite::Db db, std::string prefix) : m_db(std::move(db)), m_prefix(std::move(prefix))
    {
        const std::optional<std::string> like = m_prefix.empty() ? std::nullopt : LikePatternFor(m_prefix);
        m_stmt = sqlite::Statement(m_db, like ? kPrefixWalkSql : kWalkSql);
        m_stmt.Bind(1, kInlineHeaderBytes);
        if (like)
            m_stmt.Bind(2, std::string_view(*like));
    }

    bool FindNext(CacheEntry& entry, std::uint32_t& bufferSize) override
    {
        try {
            if (!m_pending && !Advance()) {
                SetLastError(kErrorNoMoreItems);
                return false;
            }
            sqlite3_stmt* st = m_stmt.handle();
            const std::string_view url = m_stmt.Text(0);
            const bool hasFile = sqlite3_column_type(st, 1) != SQLITE_NULL;
            const std::size_t fileBytes = hasFile ? m_stmt.Bytes(1) : 0;
            const auto headerBytes = static_cast<std::uint64_t>(m_stmt.Int(5));
            const std::uint32_t needed =
                Clamp32(std::uint64_t(kEntryRecordSize) + url.size() + 1 + (hasFile ? fileBytes + 1 : 0) + headerBytes);
            if (needed > bufferSize) {
                bufferSize = needed;
                SetLastError(kErrorInsufficientBuffer);
                return false;
            }
            entry.sourceUrl.assign(url);
            if (hasFile) {
                const std::string_view file = m_stmt.Text(1);
                if (entry.localFileName)
                    entry.localFileName->assign(file);
                else
                    entry.localFileName.emplace(file);
            } else {
                entry.localFileName.reset();
            }
            entry.hitRate = static_cast<std::uint32_t>(m_stmt.Int(2));
            entry.expireTime = static_cast<std::uint64_t>(m_stmt.Int(3));
            entry.lastAccessTime = static_cast<std::uint64_t>(m_stmt.Int(4));
            if (headerBytes <= static_cast<std::uint64_t>(kInlineHeaderBytes)) {
                entry.headerInfo.assign(m_stmt.Blob(6));
            } else {
                if (!m_header.handle())
                    m_header = sqlite::Statement(m_db, kHeaderSql);
                m_header.Bind(1, m_stmt.Int(7));
                entry.headerInfo.assign(m_header.Step() ? m_header.Blob(0) : std::string_view());
                m_header.Reset();
            }
            m_pending = false;
            return true;
        } catch (const sqlite::Error& e) {
            SetLastError(ErrorNumberOf(e));
            return false;
        }
    }

private:
    // Moves to the next row that matches the prefix; false at the end. The prefix test
    // reads only the url column of the rows it skips.
    bool Advance()
    {
        if (m_done)
            return false;
        while (m_stmt.Step()) {
            // Tested here as well: the engine's filter, when there is one, only thins the rows.
            if (m_prefix.empty() || text::StartsWithNoCase(m_stmt.Text(0), m_prefix)) {
                m_pending = true;
                return true;
            }
        }
        m_done = true;
        return false;
    }

    sqlite::Db m_db;
    sqlite::Statement m_stmt;
    sqlite::Statement m_header;  // prepared at the first header too big to come with its row
    std::string m_prefix;
    bool m_pending = false;
    bool m_done = false;
};

}  // namespace

std::unique_ptr<CacheEnumeration> FindFirstUrlCacheEntry(const char* pattern, CacheEntry& entry,
                                                         std::uint32_t& bufferSize, const fs::path& storeFolder)
{
    try {
        std::optional<sqlite::Db> db = OpenForRead(storeFolder);
        if (!db) {
            SetLastError(kErrorNoMoreItems);
            return nullptr;
        }
        auto walk = std::make_unique<IndexWalk>(std::move(*db), pattern ? std::string(pattern) : std::string());
        if (!walk->FindNext(entry, bufferSize))
            return nullptr;
        return walk;
    } catch (...) {
        SetLastErrorFromCurrentException();
    }
    return nullptr;
}

void detail::BindEntry(sqlite::Statement& st, const CacheEntry& entry)
{
    st.Bind(1, std::string_view(entry.sourceUrl));
    if (entry.localFileName)
        st.Bind(2, std::string_view(*entry.localFileName));
    else
        st.BindNull(2);
    st.Bind(3, static_cast<std::int64_t>(entry.hitRate));
    st.Bind(4, static_cast<std::int64_t>(entry.expireTime));
    st.Bind(5, static_cast<std::int64_t>(entry.lastAccessTime));
    if (entry.headerInfo.empty())
        st.BindNull(6);
    else
        st.BindBlob(6, entry.headerInfo);
}

bool CommitUrlCacheEntry(const CacheEntry& entry, const fs::path& storeFolder)
{
    if (entry.sourceUrl.empty() || !IsLineSafeEntry(entry)) {
        SetLastError(kErrorInvalidParameter);
        return false;
    }
    try {
        WriteConnection connection = OpenForWrite(storeFolder);
        sqlite::Db& db = connection.db();
        sqlite::Transaction tx(db);
        EnsureSchema(db);
        // A replaced entry keeps its seq: it stays where the walk found it before.
        sqlite::Statement st(db, kUpsertEntrySql);
        BindEntry(st, entry);
        st.Run();
        tx.Commit();
        SetLastError(0);
        return true;
    } catch (...) {
        SetLastErrorFromCurrentException();
    }
    return false;
}

}  // namespace brimlow::inetcache
