#pragma once
// A block of memory of its own for the big tables of a load (a dump's bytes, its records):
// mapped straight from the system, in huge pages where the system grants them, so that
// filling 20 MB takes a dozen page faults instead of five thousand (most of a load's time
// went into touching fresh memory a page at a time). Only the pages written are ever
// backed, so a block may be reserved larger than it ends up used.
#include <cstddef>
#include <cstring>
#include <new>
#include <span>
#include <type_traits>
#include <utility>

namespace brimlow {

class HugeBlock {
public:
    HugeBlock() = default;
    // At least `bytes` bytes, all zero. Throws std::bad_alloc when the system has none.
    explicit HugeBlock(std::size_t bytes);
    ~HugeBlock();
    HugeBlock(HugeBlock&& other) noexcept
        : m_data(std::exchange(other.m_data, nullptr)), m_capacity(std::exchange(other.m_capacity, 0))
    {
    }
    HugeBlock& operator=(HugeBlock&& other) noexcept;
    HugeBlock(const HugeBlock&) = delete;
    HugeBlock& operator=(const HugeBlock&) = delete;

    char* data() const noexcept { return m_data; }
    std::size_t capacity() const noexcept { return m_capacity; }
    // Grows to at least `bytes`, keeping the contents (the block may move). Throws
    // std::bad_alloc when the system has no room.
    void Grow(std::size_t bytes);
    // Room for at least `bytes` bytes for a new use, the contents not kept. A block that is
    // large enough stays, with its pages already backed, so a reload of a dump touches no
    // fresh memory; what it has beyond that room is given back. A block too small is given
    // back before its successor is mapped, so the two are never held at once. The bytes are
    // whatever the earlier use left: a reader looks only at what it has written since.
    void Renew(std::size_t bytes);

private:
    char* m_data = nullptr;
    std::size_t m_capacity = 0;
};

// A table of plain records in a HugeBlock: appended to, never shrunk, read as a span.
template <typename T>
class HugeTable {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    HugeTable() = default;
    // Room for `capacity` records before the first growth.
    explicit HugeTable(std::size_t capacity) : m_block(capacity * sizeof(T)) {}
    HugeTable(HugeTable&& other) noexcept : m_block(std::move(other.m_block)), m_size(std::exchange(other.m_size, 0)) {}
    HugeTable& operator=(HugeTable&& other) noexcept
    {
        m_block = std::move(other.m_block);
        m_size = std::exchange(other.m_size, 0);
        return *this;
    }

    // Empty again, with room for `capacity` records, in the block it has when that is large
    // enough (HugeBlock::Renew).
    void Renew(std::size_t capacity)
    {
        m_size = 0;
        m_block.Renew(capacity * sizeof(T));
    }

    void push_back(const T& value)
    {
        if ((m_size + 1) * sizeof(T) > m_block.capacity())
            m_block.Grow((m_size + 1) * sizeof(T) * 2);
        std::memcpy(m_block.data() + m_size * sizeof(T), &value, sizeof(T));
        ++m_size;
    }
    std::size_t size() const noexcept { return m_size; }
    std::span<const T> view() const noexcept
    {
        return {reinterpret_cast<const T*>(m_block.data()), m_size};
    }

private:
    HugeBlock m_block;
    std::size_t m_size = 0;
};

}  // namespace brimlow
