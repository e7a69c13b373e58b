#pragma once

#include <QtGlobal>

namespace netvane {

// Asks the system to back a large buffer that is about to be filled with huge pages
// where it can. Touching tens of megabytes of fresh memory page by page costs more
// than reading the file whose records fill it. Only a hint: nothing changes when the
// system declines.
void PreferLargePages(const void *start, qsizetype bytes);

} // namespace netvane
