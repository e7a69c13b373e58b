// The size and interval sequence texts; the second text (after a NUL) is the repeat.
#include "fuzzinput.h"
#include "ping/sequenceparsers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto [first, second] = fuzzinput::twoTexts(data, size);
    netvane::IsMultipleSizeText(first);
    netvane::ParseIncrementalSizeText(first);
    netvane::ParseMultipleSizeText(first);
    netvane::ParseIntervalText(first);
    netvane::CheckMultipleSizes(first, second);
    return 0;
}
