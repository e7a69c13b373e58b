#pragma once

#include <QtGlobal>

namespace netvane {

// Asks the system to back a large buffer that is about to be filled with huge pages
// where it can. Touching tens of megabytes of fresh memory page by page costs more
// than reading the file whose records fill it. Only a hint: nothing changes when the
// system declines.
void PreferLargePages(const void *start, qsizetype bytes);

// Gives the memory the allocator holds free back to the system. A thread's allocator
// keeps what the thread freed, so work done on a thread of its own would otherwise
// leave the program that much larger afterwards.
void GiveBackFreeMemory();

// A buffer of whole pages taken from the system for a long read and given back to it
// when the buffer goes. Memory from the allocator may stay with the process after it
// is freed, depending on what was allocated before, so a reader's buffers would add
// to the program's resident size in one run and not in the next.
class PageBuffer final
{
    Q_DISABLE_COPY(PageBuffer)
public:
    PageBuffer() = default;
    explicit PageBuffer(qsizetype bytes);
    ~PageBuffer();
    PageBuffer(PageBuffer &&other) noexcept;
    PageBuffer &operator=(PageBuffer &&other) noexcept;

    char *data() const { return m_data; }
    qsizetype size() const { return m_size; }

private:
    void release();

    char *m_data = nullptr;
    qsizetype m_size = 0;
    bool m_mapped = false;
};

} // namespace netvane
