#pragma once
// Paging of the 20-row reply log through all records with the scroll bar VScroll1.
// Up to 200 rows the bar moves one step per row; above that it works as a 0-200
// scale over the records.

namespace netvane {

inline constexpr int LogRows = 20;
inline constexpr int ScaleSteps = 200;

struct LogScroll {
    int maximum = 0;
    int value = 0;
    int top = 0; // first record shown
};

// Bar value for a top row with n+1 records (n is the last row index); `current` is
// kept where the scale would round to a value strictly between 0 and 2.
int ScrollValueForTop(int top, int n, int current);

// After the ping of row index n: the bar follows the newest row.
LogScroll FollowNewestRow(int n, int currentValue);

// The user moved the bar from previousValue to newValue (dragging or not): the new
// top row, clamped, with the bar re-synchronised. n is the last row index.
LogScroll ScrollMoved(int n, int previousTop, int previousValue, int newValue, int maximum,
                      bool dragging);

} // namespace netvane
