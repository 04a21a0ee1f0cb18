// The two strategies of the salvage scan, as the user picks them.
#pragma once

namespace tessaly {

enum RepairMode : int {
    QuickRepair = 0,    // every local header a forward scan meets
    AdvanceRepair = 1,  // also every local header a central record names
};

}  // namespace tessaly
