// The ring's interval and duration from the texts of the seconds and minutes boxes.
#pragma once

#include <QString>

// Seconds x 1000, rounded half to even, in milliseconds. Below 1 ms (also a negative or
// non-numeric text) gives 0, meaning no ring; above what a timer takes, 2^31 - 1.
int ringIntervalMs(const QString &seconds);

// Minutes, rounded half to even and clamped to the 16-bit range; non-numeric gives 0.
int ringDurationMinutes(const QString &minutes);
