#pragma once
// The send-size plan and the interval sequence that a ping test walks through. The
// settings boxes build them from their texts; the run loop consumes them.

#include <QList>
#include <QString>

namespace netvane {

struct SendSizePlan {
    QString mode;          // "Incremental", "Multiple", or empty for one size
    int from = 32;         // Incremental: first size
    int to = 32;           // Incremental: last size
    int increment = 0;     // Incremental: step
    int span = 0;
    int repeat = 1;        // echoes per target with one size before the next is taken
    int count = 1;         // number of sizes
    QList<int> sizes{32};  // Multiple: the sizes in order
    QString valuesText;    // Multiple: as written into the size box

    bool active() const { return mode == u"Incremental" || mode == u"Multiple"; }
    // The size of slot i of the sequence.
    int sizeAt(int slot) const
    {
        if (mode == u"Incremental")
            return from + slot * increment;
        return sizes.value(slot, sizes.value(0, 32));
    }
};

struct IntervalSequence {
    QString mode;            // "Increment" when active
    int from = 0;
    int to = 0;
    int increment = 0;       // negative when stepping down
    int span = 0;
    int repeat = 1;          // ticks at one interval before the next step
    int currentInterval = 0; // the period of the ping timer now

    bool active() const { return mode == u"Increment"; }
};

} // namespace netvane
