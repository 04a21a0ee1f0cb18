// libFuzzer target: a byte string decoded as a Deflate64 stream whole and
// in pieces (fuzz/Deflate64Target.h).
#include <cstddef>
#include <cstdint>

#include <string>

#include "fuzz/Deflate64Target.h"
#include "fuzz/SalvageTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string fault = tessaly::fuzz::CheckDeflate64(data, size);
    if (!fault.empty()) tessaly::fuzz::FailInvariant(fault);
    return 0;
}
