// The wizard's root: each root owns its own job and runs, hands them out
// through its services, and its runs report on the scan state it was given
// for as long as it lives.
#include <gtest/gtest.h>

#include "app/main/WizardRoot.h"

namespace tessaly {
namespace {

TEST(WizardRoot, ServicesReachTheRootsOwnPartsAndTwoRootsShareNone) {
    int firstEnds = 0;
    int secondEnds = 0;
    const CWizardRoot first([&] { ++firstEnds; });
    const CWizardRoot second([&] { ++secondEnds; });
    const WizardServices& a = first.Services();
    const WizardServices& b = second.Services();
    ASSERT_NE(a.job, nullptr);
    ASSERT_NE(a.analysis, nullptr);
    ASSERT_NE(a.saving, nullptr);
    ASSERT_NE(a.repairing, nullptr);
    EXPECT_NE(a.job, b.job);
    EXPECT_NE(a.analysis, b.analysis);
    EXPECT_NE(a.saving, b.saving);
    EXPECT_NE(a.repairing, b.repairing);

    a.job->AppendSourcePath("a.zip");
    EXPECT_TRUE(b.job->SourcePaths().empty());
    a.endProcess();
    EXPECT_EQ(firstEnds, 1);
    EXPECT_EQ(secondEnds, 0);
}

}  // namespace
}  // namespace tessaly
