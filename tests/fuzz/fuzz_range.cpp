// Range and group expansion of a list item. Names never reach a resolver; a range of
// more than the large-range bound is declined, as a user may, so time and memory stay
// bounded by the input.
#include "fuzzinput.h"
#include "iplist/targettable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString item = fuzzinput::text(data, size);
    netvane::TargetTable table([](const QString &) { return QString(); },
                               [](const QString &, const QString &, qint64) { return false; });
    table.setLetWindowCatchUp(false);
    table.ExpandListItem(item);
    if (table.targetCount() > netvane::TargetTable::LargeRange + int(size))
        std::abort();
    const auto [first, last] = fuzzinput::twoTexts(data, size);
    netvane::RangeAddressCount(first, last);
    return 0;
}
