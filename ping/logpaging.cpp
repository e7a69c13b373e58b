#include "ping/logpaging.h"

#include <QtGlobal>
#include <cmath>

namespace netvane {

int ScrollValueForTop(int top, int n, int current)
{
    if (n <= ScaleSteps)
        return top;
    if (top <= 0)
        return 0;
    if (top == 1)
        return 1;
    const double scaled = double(top) / double(n - (LogRows - 1)) * ScaleSteps;
    if (scaled > 198 && scaled < 200)
        return 198;
    if (scaled > 0 && scaled < 2)
        return current;
    return int(std::nearbyint(scaled));
}

LogScroll FollowNewestRow(int n, int currentValue)
{
    LogScroll s;
    if (n < LogRows)
        return s;
    s.top = n - (LogRows - 1);
    if (n <= ScaleSteps) {
        s.maximum = s.top;
        s.value = s.top;
    } else {
        s.maximum = ScaleSteps;
        s.value = ScrollValueForTop(s.top, n, currentValue);
    }
    return s;
}

LogScroll ScrollMoved(int n, int previousTop, int previousValue, int newValue, int maximum,
                      bool dragging)
{
    const int lastTop = qMax(0, n - (LogRows - 1));
    LogScroll s;
    s.maximum = maximum;
    const int delta = newValue - previousValue;
    int top = previousTop;
    if (dragging && newValue >= maximum)
        top = lastTop;
    else if (dragging && newValue <= 0)
        top = 0;
    else if (n > ScaleSteps && qAbs(delta) > LogRows)
        top += int(qint64(delta) * lastTop / ScaleSteps);
    else
        top += delta;
    s.top = qBound(0, top, lastTop);
    s.value = ScrollValueForTop(s.top, n, newValue);
    return s;
}

} // namespace netvane
