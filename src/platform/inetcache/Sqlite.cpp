#include "platform/inetcache/Sqlite.h"

#include <sqlite3.h>

#include <utility>

#include "platform/inetcache/ReadAheadVfs.h"

namespace brimlow::inetcache::sqlite {

namespace {
[[noreturn]] void ThrowCode(int rc, std::string_view context, sqlite3* db)
{
    std::string what(context);
    what += ": ";
    what += db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    throw Error(rc, what);
}
}  // namespace

Db::Db(const std::filesystem::path& file, OpenMode mode)
{
    int flags = SQLITE_OPEN_NOMUTEX;
    switch (mode) {
    case OpenMode::ReadOnly: flags |= SQLITE_OPEN_READONLY; break;
    case OpenMode::ReadWrite: flags |= SQLITE_OPEN_READWRITE; break;
    case OpenMode::ReadWriteCreate: flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE; break;
    }
    // A read-only connection reads the index in large chunks (the walks read all of it).
    const int rc =
        sqlite3_open_v2(file.c_str(), &m_db, flags, mode == OpenMode::ReadOnly ? ReadAheadVfsName() : nullptr);
    if (rc != SQLITE_OK) {
        const int ext = m_db ? sqlite3_extended_errcode(m_db) : rc;
        std::string what = "open " + file.string() + ": " + (m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc));
        sqlite3_close(m_db);
        m_db = nullptr;
        throw Error(ext, what);
    }
    sqlite3_extended_result_codes(m_db, 1);
}

Db::~Db()
{
    if (m_db)
        sqlite3_close_v2(m_db);
}

Db::Db(Db&& other) noexcept : m_db(std::exchange(other.m_db, nullptr)) {}

Db& Db::operator=(Db&& other) noexcept
{
    if (this != &other) {
        if (m_db)
            sqlite3_close_v2(m_db);
        m_db = std::exchange(other.m_db, nullptr);
    }
    return *this;
}

void Db::Throw(int rc, std::string_view context) const
{
    ThrowCode(rc, context, m_db);
}

void Db::Exec(const char* sql)
{
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        Throw(sqlite3_extended_errcode(m_db), sql);
}

std::int64_t Db::QueryInt(const char* sql)
{
    Statement st(*this, sql);
    return st.Step() ? st.Int(0) : 0;
}

void Db::BusyTimeout(int milliseconds)
{
    sqlite3_busy_timeout(m_db, milliseconds);
}

std::int64_t Db::Changes() const noexcept
{
    return sqlite3_changes64(m_db);
}

Statement::Statement(Db& db, std::string_view sql)
{
    const int rc = sqlite3_prepare_v3(db.handle(), sql.data(), static_cast<int>(sql.size()), 0, &m_stmt, nullptr);
    if (rc != SQLITE_OK)
        db.Throw(sqlite3_extended_errcode(db.handle()), sql);
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

Statement::Statement(Statement&& other) noexcept : m_stmt(std::exchange(other.m_stmt, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_stmt = std::exchange(other.m_stmt, nullptr);
    }
    return *this;
}

namespace {
void CheckBind(sqlite3_stmt* st, int rc)
{
    if (rc != SQLITE_OK)
        ThrowCode(rc, "bind", sqlite3_db_handle(st));
}
}  // namespace

Statement& Statement::Bind(int index, std::int64_t value)
{
    CheckBind(m_stmt, sqlite3_bind_int64(m_stmt, index, value));
    return *this;
}

Statement& Statement::Bind(int index, std::string_view text)
{
    CheckBind(m_stmt, sqlite3_bind_text64(m_stmt, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
    return *this;
}

Statement& Statement::BindBlob(int index, std::string_view bytes)
{
    // A zero-length blob must still be a blob, not NULL: give it a valid pointer.
    static const char empty = 0;
    CheckBind(m_stmt, sqlite3_bind_blob64(m_stmt, index, bytes.empty() ? &empty : bytes.data(), bytes.size(),
                                          SQLITE_TRANSIENT));
    return *this;
}

Statement& Statement::BindNull(int index)
{
    CheckBind(m_stmt, sqlite3_bind_null(m_stmt, index));
    return *this;
}

bool Statement::Step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3* db = sqlite3_db_handle(m_stmt);
    ThrowCode(sqlite3_extended_errcode(db), sqlite3_sql(m_stmt) ? sqlite3_sql(m_stmt) : "step", db);
}

void Statement::Run()
{
    while (Step()) {
    }
    Reset();
}

void Statement::Reset()
{
    sqlite3_reset(m_stmt);
}

bool Statement::IsNull(int column) const noexcept
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

std::int64_t Statement::Int(int column) const noexcept
{
    return sqlite3_column_int64(m_stmt, column);
}

std::string_view Statement::Text(int column) const noexcept
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    const int n = sqlite3_column_bytes(m_stmt, column);
    return p ? std::string_view(p, static_cast<std::size_t>(n)) : std::string_view();
}

std::string_view Statement::Blob(int column) const noexcept
{
    const auto* p = static_cast<const char*>(sqlite3_column_blob(m_stmt, column));
    const int n = sqlite3_column_bytes(m_stmt, column);
    return p ? std::string_view(p, static_cast<std::size_t>(n)) : std::string_view();
}

std::size_t Statement::Bytes(int column) const noexcept
{
    return static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column));
}

Transaction::Transaction(Db& db, bool immediate) : m_db(db)
{
    m_db.Exec(immediate ? "BEGIN IMMEDIATE" : "BEGIN");
    m_open = true;
}

Transaction::~Transaction()
{
    if (m_open)
        sqlite3_exec(m_db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit()
{
    m_db.Exec("COMMIT");
    m_open = false;
}

}  // namespace brimlow::inetcache::sqlite
