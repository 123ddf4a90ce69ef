// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Sorting a list by minute of the day, in exactly the order the list's exchange sort
// leaves it, without its count x count comparisons.
#pragma once

#include <QStringList>
#include <vector>

enum class SortDirection { Ascending, Descending };

// The exchange sort of a list: for every position i and then every position j, exchange
// entries i and j when key i is below key j (ascending) or above it (descending). It is
// not stable: entries of equal key can change their order through third entries.
// Returns the new order as indices into keys. Keys must lie in 0 to 6039.
std::vector<int> exchangeSortOrder(const std::vector<int> &keys, SortDirection direction);

// The entries in their sorted order. Entries without a minute of the day (not four
// digits at positions 1, 2, 4 and 5) cannot be placed by time: they keep their relative
// order and follow all the times, in either direction, while the times are ordered as the
// exchange sort orders them on their own. No entry is lost or changed.
QStringList sortedEntries(const QStringList &entries, SortDirection direction);
