// libFuzzer target: stored names mapped to output paths and claimed
// (fuzz/NameTarget.h).
#include <cstddef>
#include <cstdint>

#include <string>

#include "fuzz/NameTarget.h"
#include "fuzz/SalvageTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string fault = tessaly::fuzz::CheckNameMapping(data, size);
    if (!fault.empty()) tessaly::fuzz::FailInvariant(fault);
    return 0;
}
