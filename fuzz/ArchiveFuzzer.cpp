// libFuzzer target: a byte string salvaged as an archive in both repair
// modes (fuzz/SalvageTarget.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/SalvageTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tessaly::fuzz::SalvageTally tally = tessaly::fuzz::SalvageBytes(data, size);
    if (!tally.fault.empty()) tessaly::fuzz::FailInvariant(tally.fault);
    return 0;
}
