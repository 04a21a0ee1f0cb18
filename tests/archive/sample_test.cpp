// The damaged sample archive the main job salvages gives what its
// description promises, in both repair modes.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/archive/SalvageRun.h"
#include "tests/support/Sample.h"

namespace tessaly::archivetest {
namespace {

class SampleArchive : public ::testing::TestWithParam<RepairMode> {};

TEST_P(SampleArchive, YieldsFourGoodFilesOneDamagedAndOneTruncated) {
    testzip::Bytes bytes = testzip::SampleArchive();
    EXPECT_EQ(bytes, testzip::SampleArchive()) << "the sample must be the same on every run";
    std::vector<std::string> names = testzip::SampleEntryNames();
    SalvageRun run(bytes, GetParam());
    EXPECT_FALSE(run.openThrew) << run.openError;
    ASSERT_EQ(run.Count(), names.size());
    const ExtractOutcome expected[] = {ExtractOutcome::Ok, ExtractOutcome::Ok,      ExtractOutcome::Ok,
                                       ExtractOutcome::Ok, ExtractOutcome::Damaged, ExtractOutcome::Truncated};
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(run.entries[i].info.fileName, Listed(names[i]));
        EXPECT_EQ(run.entries[i].report.outcome, expected[i]) << names[i];
        EXPECT_GT(run.entries[i].report.bytesWritten, 0u) << names[i];
    }
}

INSTANTIATE_TEST_SUITE_P(BothModes, SampleArchive, kBothModes, ModeParamName());

}  // namespace
}  // namespace tessaly::archivetest
