// How a salvage shares an archive's entries among threads. Entries that write
// the same file form one group, taken in entry order by one thread, so a
// later entry overwrites an earlier one exactly as it does one thread at a
// time. When one entry's file is a folder of another's path, the order
// decides which of them fails, so such an archive is extracted by a single
// thread. The plan only groups; it extracts nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly {

struct ExtractPlan {
    std::vector<std::vector<std::uint32_t>> groups;  // entry indices; groups ordered by first index
    unsigned threads = 1;
};

// `names` are the entry names as stored, in entry order, with an empty name
// for every entry that writes no file.
ExtractPlan PlanExtraction(const std::vector<std::string>& names, unsigned threadsWanted);

// Threads worth using here: the processor count, at most four, at most one
// per entry.
unsigned ExtractThreads(std::uint32_t entries);

}  // namespace tessaly
