#include "platform/memory.h"

#include <malloc.h>
#include <new>
#include <utility>

#include <sys/mman.h>
#include <unistd.h>

namespace netvane {

void PreferLargePages(const void *start, qsizetype bytes)
{
    const long page = ::sysconf(_SC_PAGESIZE);
    if (!start || bytes <= 0 || page <= 0)
        return;
    const auto first = (reinterpret_cast<quintptr>(start) + quintptr(page) - 1) & ~quintptr(page - 1);
    const auto last = (reinterpret_cast<quintptr>(start) + quintptr(bytes)) & ~quintptr(page - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void *>(first), size_t(last - first), MADV_HUGEPAGE);
}

void GiveBackFreeMemory()
{
    ::malloc_trim(0);
}

PageBuffer::PageBuffer(qsizetype bytes) : m_size(bytes)
{
    if (bytes <= 0) {
        m_size = 0;
        return;
    }
    void *p = ::mmap(nullptr, size_t(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p != MAP_FAILED) {
        m_data = static_cast<char *>(p);
        m_mapped = true;
        return;
    }
    // No mapping to be had: the allocator's memory still works.
    m_data = new char[size_t(bytes)];
}

PageBuffer::~PageBuffer()
{
    release();
}

PageBuffer::PageBuffer(PageBuffer &&other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_mapped(std::exchange(other.m_mapped, false))
{
}

PageBuffer &PageBuffer::operator=(PageBuffer &&other) noexcept
{
    if (this != &other) {
        release();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_mapped = std::exchange(other.m_mapped, false);
    }
    return *this;
}

void PageBuffer::release()
{
    if (!m_data)
        return;
    if (m_mapped)
        ::munmap(m_data, size_t(m_size));
    else
        delete[] m_data;
    m_data = nullptr;
    m_size = 0;
    m_mapped = false;
}

} // namespace netvane
