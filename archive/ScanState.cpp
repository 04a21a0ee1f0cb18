#include "archive/ScanState.h"

namespace tessaly {

ScanState& ProcessScanState() {
    static ScanState state;
    return state;
}

}  // namespace tessaly
