// libFuzzer target: raw Deflate data decoded by ISA-L and by zlib, whole
// and in pieces (fuzz/InflateTarget.h).
#include <cstddef>
#include <cstdint>

#include <string>

#include "fuzz/InflateTarget.h"
#include "fuzz/SalvageTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string fault = tessaly::fuzz::CheckInflate(data, size);
    if (!fault.empty()) tessaly::fuzz::FailInvariant(fault);
    return 0;
}
