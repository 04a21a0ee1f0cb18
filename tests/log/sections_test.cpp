// The log's sections as the user reads them.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "log/LogSections.h"
#include "tests/log/LogSandbox.h"
#include "tests/support/LocalTime.h"

namespace tessaly {
namespace {

using testlog::LogSandbox;
using testzip::At;

TEST(LogSections, ProgramStartWritesDateAndTimeWithoutZeroPadding) {
    LogSandbox sandbox;
    LogProgramStart(At(2026, 12, 7, 3, 4, 5));
    const std::string log = sandbox.ReadLog();
    EXPECT_EQ(log.substr(0, 8), "\r\n\r\n\r\n\r\n");
    EXPECT_NE(log.find("\r\nDate    7\\12\\2026\r\nTime    3:4:5\r\n\r\n"), std::string::npos);
    EXPECT_EQ(log.substr(log.size() - 4), "\r\n\r\n");
}

TEST(LogSections, RepairModeChangeNamesTheModeEachTime) {
    LogSandbox sandbox;
    LogRepairModeChange(1);
    LogRepairModeChange(1);
    LogRepairModeChange(0);
    const std::string advance = "\r\n\r\nRepair Mode  :      Advance  Repair\r\n______________\r\n";
    const std::string quick = "\r\n\r\nRepair Mode  :      Quick Repair\r\n______________\r\n";
    EXPECT_EQ(sandbox.ReadLog(), advance + advance + quick);
}

TEST(LogSections, RefusedRepairLeavesTheLogOnItsUnderscoresAndTheNextRepairContinuesThere) {
    LogSandbox sandbox;
    LogSourceSelection({}, 0, false);  // refused: nothing selected
    EXPECT_EQ(sandbox.ReadLog(),
              "Source Files :\r\n______________\r\n\r\n"
              "\r\n\r\nRepair Mode  :      Quick Repair\r\n______________\r\n\r\n"
              "Skip Preview Status :    FALSE\r\n____________________");
    LogSourceSelection({"/in/a.zip"}, 1, true);
    LogAnalysisHeading(1);
    const std::string log = sandbox.ReadLog();
    EXPECT_NE(log.find("____________________Source Files :\r\n"), std::string::npos);
    EXPECT_NE(log.find("1-   /in/a.zip\r\n"), std::string::npos);
    EXPECT_NE(log.find("Advance  Repair"), std::string::npos);
    EXPECT_NE(log.find("Skip Preview Status :    TRUE\r\n____________________\r\n\r\n"
                       "************************* Step 2 :- Analysis Of Files*****************************"
                       "\r\n\r\nTotal Files Count :    1\r\n___________________\r\n\r\n"),
              std::string::npos);
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

// The closing line after a saving run that fell short names each shortfall
// once, in the singular where it is one, and leaves out a part that is 0.
TEST(LogSections, IncompleteRunClosesWithWhatCouldNotBeDone) {
    testlog::LogSandbox sandbox;
    LogRepairIncomplete(1, 0);
    LogRepairIncomplete(0, 1);
    LogRepairIncomplete(12, 3);
    const std::string stars = "***********************************";
    EXPECT_EQ(sandbox.ReadLog(), "\r\n\r\n******************* Repairing finished: 1 file could not be written" + stars +
                                     "\r\n\r\n******************* Repairing finished: 1 archive could not be read" +
                                     stars +
                                     "\r\n\r\n******************* Repairing finished: 12 files could not be written, "
                                     "3 archives could not be read" +
                                     stars);
}

// Entries the given password did not open are named for what happened,
// not folded into the files that could not be written; a destination that
// refused files is named last.
TEST(LogSections, IncompleteRunNamesWrongPasswordsAndARefusingDestination) {
    testlog::LogSandbox sandbox;
    LogRepairIncomplete(SavingShortfallCounts{0, 1, 0, false});
    LogRepairIncomplete(SavingShortfallCounts{2, 3, 1, true});
    LogRepairIncomplete(SavingShortfallCounts{0, 0, 0, true});
    const std::string stars = "***********************************";
    EXPECT_EQ(sandbox.ReadLog(),
              "\r\n\r\n******************* Repairing finished: 1 file left out for a wrong password" + stars +
                  "\r\n\r\n******************* Repairing finished: 2 files could not be written, 3 files left out "
                  "for a wrong password, 1 archive could not be read, the destination cannot be written" +
                  stars + "\r\n\r\n******************* Repairing finished: the destination cannot be written" + stars);
}

// Where and why, each on a line of its own, so the reason survives the cap
// on a write however long the path.
TEST(LogSections, ARefusingDestinationIsLoggedWithTheSystemsReason) {
    testlog::LogSandbox sandbox;
    const std::string folder = "/media/stick/" + std::string(190, 'x');
    LogDestinationRefused(folder, "Read-only file system");
    const std::string log = sandbox.ReadLog();
    EXPECT_EQ(log.rfind("\r\nThe destination cannot be written :  /media/stick/", 0), 0u) << log;
    EXPECT_NE(log.find("\r\nReason :  Read-only file system"), std::string::npos) << log;
}

}  // namespace
}  // namespace tessaly
