#include "platform/memory.h"

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

} // namespace netvane
