#pragma once
// A small RAII layer over the SQLite C API: a connection, a prepared statement and a
// transaction. Failures throw sqlite::Error with SQLite's result code; the hot paths
// (Statement::Step and the column readers) throw only on real errors.
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace brimlow::inetcache::sqlite {

class Error : public std::runtime_error {
public:
    Error(int code, const std::string& what) : std::runtime_error(what), m_code(code) {}
    // The primary result code (SQLITE_BUSY, SQLITE_NOTADB, ...).
    int code() const noexcept { return m_code & 0xff; }
    int extendedCode() const noexcept { return m_code; }

private:
    int m_code;
};

enum class OpenMode { ReadOnly, ReadWrite, ReadWriteCreate };

class Db {
public:
    Db() = default;
    Db(const std::filesystem::path& file, OpenMode mode);
    ~Db();
    Db(Db&& other) noexcept;
    Db& operator=(Db&& other) noexcept;
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    sqlite3* handle() const noexcept { return m_db; }
    explicit operator bool() const noexcept { return m_db != nullptr; }

    // Runs one or more statements that return no rows of interest.
    void Exec(const char* sql);
    // The first column of the first row of a one-value query (PRAGMA user_version, ...).
    std::int64_t QueryInt(const char* sql);
    void BusyTimeout(int milliseconds);
    std::int64_t Changes() const noexcept;

    [[noreturn]] void Throw(int rc, std::string_view context) const;

private:
    sqlite3* m_db = nullptr;
};

class Statement {
public:
    Statement() = default;
    Statement(Db& db, std::string_view sql);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Parameters are 1-based. Text and blobs are copied only when `transient`.
    Statement& Bind(int index, std::int64_t value);
    Statement& Bind(int index, std::string_view text);
    Statement& BindBlob(int index, std::string_view bytes);
    Statement& BindNull(int index);

    // True while a row is there; false when done.
    bool Step();
    // Runs a statement that returns no row.
    void Run();
    void Reset();

    // Columns are 0-based and valid until the next Step or Reset.
    bool IsNull(int column) const noexcept;
    std::int64_t Int(int column) const noexcept;
    // The bytes of a text or blob column (empty for NULL) without a copy.
    std::string_view Text(int column) const noexcept;
    std::string_view Blob(int column) const noexcept;
    std::size_t Bytes(int column) const noexcept;

    sqlite3_stmt* handle() const noexcept { return m_stmt; }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

// BEGIN (IMMEDIATE when asked: the write lock is taken at once, so a read-modify-write
// inside it cannot lose an update to another process). Rolled back unless committed.
class Transaction {
public:
    explicit Transaction(Db& db, bool immediate = true);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();

private:
    Db& m_db;
    bool m_open = false;
};

}  // namespace brimlow::inetcache::sqlite
