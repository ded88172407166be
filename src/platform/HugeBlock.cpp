#include "platform/HugeBlock.h"

#include <cstdint>
#include <sys/mman.h>

namespace brimlow {

namespace {

constexpr std::size_t kPageBytes = 4096;
constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t n, std::size_t to)
{
    if (n > SIZE_MAX - to)
        throw std::bad_alloc();
    return (n + to - 1) / to * to;
}

// A block of `size` bytes (a multiple of the page size); one of huge-page size or more
// starts on a huge-page boundary, where a huge page can back it.
char* MapBlock(std::size_t size)
{
    const bool huge = size >= kHugePageBytes;
    const std::size_t mapped = huge ? size + kHugePageBytes : size;
    void* p = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    auto* start = static_cast<char*>(p);
    if (huge) {
        const auto at = reinterpret_cast<std::uintptr_t>(start);
        const std::size_t lead = RoundUp(at, kHugePageBytes) - at;
        if (lead)
            ::munmap(start, lead);
        if (kHugePageBytes - lead)
            ::munmap(start + lead + size, kHugePageBytes - lead);
        start += lead;
        ::madvise(start, size, MADV_HUGEPAGE);  // a hint: without it the block still works
    }
    return start;
}

std::size_t BlockSize(std::size_t bytes)
{
    return RoundUp(bytes, bytes >= kHugePageBytes ? kHugePageBytes : kPageBytes);
}

}  // namespace

HugeBlock::HugeBlock(std::size_t bytes)
{
    if (bytes == 0)
        return;
    const std::size_t size = BlockSize(bytes);
    m_data = MapBlock(size);
    m_capacity = size;
}

HugeBlock::~HugeBlock()
{
    if (m_data)
        ::munmap(m_data, m_capacity);
}

HugeBlock& HugeBlock::operator=(HugeBlock&& other) noexcept
{
    if (this != &other) {
        if (m_data)
            ::munmap(m_data, m_capacity);
        m_data = std::exchange(other.m_data, nullptr);
        m_capacity = std::exchange(other.m_capacity, 0);
    }
    return *this;
}

void HugeBlock::Renew(std::size_t bytes)
{
    if (bytes == 0) {
        *this = HugeBlock();
        return;
    }
    const std::size_t size = BlockSize(bytes);
    if (size > m_capacity) {
        *this = HugeBlock();
        *this = HugeBlock(bytes);
        return;
    }
    // The tail past the new room goes back to the system; cut at a page boundary (at a huge
    // one when the room is that large), the block keeps its start.
    if (size < m_capacity) {
        ::munmap(m_data + size, m_capacity - size);
        m_capacity = size;
    }
}

void HugeBlock::Grow(std::size_t bytes)
{
    if (bytes <= m_capacity)
        return;
    HugeBlock bigger(bytes);
    if (m_capacity)
        std::memcpy(bigger.m_data, m_data, m_capacity);
    *this = std::move(bigger);
}

}  // namespace brimlow
