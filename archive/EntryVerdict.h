// The one judgement on an extracted entry, from what was written (its length
// and CRC-32), how the decoder ended and the errors it met, the sizes and
// CRC-32 the entry's records declare, and its data descriptor. An AES
// entry's authentication code has its own say (crypto/AesAuthentication.h).
#pragma once

#include <cstdint>
#include <string>

#include "archive/CentralDir.h"
#include "archive/ExtractReport.h"
#include "archive/FileHeader.h"

namespace tessaly {

class CFile;
class EntryDecoder;

// How the reason of an entry a password given does not open begins:
// "wrong password (<scheme>)".
constexpr const char* kWrongPasswordText = "wrong password";

inline bool IsWrongPasswordDetail(const std::string& detail) { return detail.rfind(kWrongPasswordText, 0) == 0; }

struct EntryVerdict {
    ExtractOutcome outcome;
    std::string detail;
};

class EntryJudge {
public:
    // `dataStart` is where the (encrypted) data began after any encryption
    // header, `trailerSize` what the encryption put after it; `crcChecked`
    // is false where the encryption leaves no CRC-32 to check (AE-2).
    EntryJudge(const CFileHeader& entry, const OpenedEntryInfo& opened, EntryDecoder& decoder, std::uint64_t dataStart,
               std::uint64_t trailerSize, bool crcChecked)
        : entry_(entry),
          opened_(opened),
          decoder_(decoder),
          dataStart_(dataStart),
          trailerSize_(trailerSize),
          crcChecked_(crcChecked) {}

    // What the entry written as `report` (its length and CRC-32) came to.
    EntryVerdict Judge(const ExtractReport& report);

    // A damaged end-of-stream mark lets a compressed stream run on into
    // whatever follows it. When the output is at least the declared size
    // and exactly the declared size's bytes carry the declared CRC-32, those
    // bytes are the entry: `output` is cut there and `report` follows.
    bool TrimToDeclaredSize(CFile& output, ExtractReport& report) const;

    // The end of what the entry's data took up in the archive, framing
    // included.
    std::uint64_t ConsumedEnd() const;

private:
    EntryVerdict Finished(std::uint32_t crc);

    const CFileHeader& entry_;
    const OpenedEntryInfo& opened_;
    EntryDecoder& decoder_;
    std::uint64_t dataStart_;
    std::uint64_t trailerSize_;
    bool crcChecked_;
};

}  // namespace tessaly
