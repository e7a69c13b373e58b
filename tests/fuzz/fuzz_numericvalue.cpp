// The numeric value reader: any text gives a number, and a whole number read back
// from its plain decimal form is the same.
#include "fuzzinput.h"
#include "ping/numericvalue.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzinput::text(data, size);
    const double value = netvane::NumericValue(text);
    const std::optional<int> whole = netvane::WholeNumberOf(text);
    if (whole && netvane::NumericValue(QString::number(*whole)) != *whole)
        std::abort();
    if (std::isfinite(value))
        netvane::PlainNumber(value);
    return 0;
}
