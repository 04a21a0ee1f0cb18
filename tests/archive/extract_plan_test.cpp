// Sharing entries among threads: entries writing one file stay together in
// entry order, and a file/folder clash keeps the archive on one thread.
#include <gtest/gtest.h>

#include "archive/salvage/ExtractPlan.h"

namespace tessaly {
namespace {

using Groups = std::vector<std::vector<std::uint32_t>>;

TEST(ExtractPlan, GroupsEntriesByTheFileTheyWrite) {
    const struct {
        std::vector<std::string> names;
        Groups groups;
        unsigned threads;
    } cases[] = {
        {{"a.txt", "b.txt", "c/d.txt"}, {{0}, {1}, {2}}, 4},
        {{"a.txt", "b.txt", "A.TXT", "./a.txt", "x/../a.txt"}, {{0, 2, 3}, {1}, {4}}, 4},
        {{"dir\\f.txt", "dir/f.txt", "/dir/f.txt"}, {{0, 1, 2}}, 4},
        {{"", "..", "", "z"}, {{0}, {1}, {2}, {3}}, 4},
        {{"a", "a/b.txt"}, {{0}, {1}}, 1},                // file a, then folder a
        {{"x/y/z.txt", "X/Y"}, {{0}, {1}}, 1},            // folder x/y is also a file
        {{"", "x/y/z.txt", "x/y/"}, {{0}, {1}, {2}}, 1},  // x/y/ would be a file
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.names.size() > 1 ? c.names[1] : c.names[0]);
        const ExtractPlan plan = PlanExtraction(c.names, 4);
        EXPECT_EQ(plan.groups, c.groups);
        EXPECT_EQ(plan.threads, c.threads);
    }
}

TEST(ExtractPlan, ThreadsAreAtLeastOneAndNoMoreThanEntries) {
    EXPECT_EQ(ExtractThreads(0), 1u);
    EXPECT_EQ(ExtractThreads(1), 1u);
    EXPECT_LE(ExtractThreads(100000), 4u);
    EXPECT_EQ(PlanExtraction({"a"}, 0).threads, 1u);
}

}  // namespace
}  // namespace tessaly
