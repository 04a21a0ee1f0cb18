// Thousands of randomly damaged archives through open, list and extract in
// both repair modes. The archives are good ones from the writer, damaged by
// a seeded generator (the same cases on every run): bit flips, cuts, zeroed
// runs, copied and garbled headers, random size fields, stray signatures.
// Nothing may crash or leak (the suite runs under the sanitizers), only the
// archive layer's own exceptions may come out, and nothing may be written
// outside the destination folder.
//
// TESSALY_FUZZ_CASES sets the number of cases (default 3000).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/CompressionMethods.h"
#include "archive/ZipArchive.h"
#include "archive/ZipException.h"
#include "archive/crypto/PasswordSource.h"
#include "archive/output/OutputDestination.h"
#include "archive/salvage/SalvageDriver.h"
#include "platform/FileException.h"
#include "tests/archive/SalvageRun.h"
#include "tests/support/Damage.h"
#include "tests/support/Encoders.h"
#include "tests/support/TempFolder.h"

namespace tessaly::archivetest {
namespace {

using namespace testzip;
namespace fs = std::filesystem;

// splitmix64: small, and the same sequence on every platform.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t Below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(Next() % n); }
    std::uint8_t Byte() { return static_cast<std::uint8_t>(Next()); }

private:
    std::uint64_t state_;
};

const char* const kFuzzPassword = "fuzz";

class FuzzPassword : public PasswordSource {
public:
    std::optional<std::string> PasswordFor(const fs::path&, const std::string&) override { return kFuzzPassword; }
};

// Names that would leave the destination if the reader let them.
const char* const kEscapeMarker = "tessaly-fuzz-escaped.txt";

std::vector<BuiltZip> BaseArchives() {
    std::vector<BuiltZip> bases;
    bases.push_back(BuildZip({Stored("a.txt", TextContent("a", 700)), Deflated("dir/b.txt", TextContent("b", 3000)),
                              Deflated("c.bin", NoiseContent(3, 900)), Stored("d.bin", NoiseContent(4, 300))}));
    std::vector<EntryToWrite> streamed = {Deflated("s1.txt", TextContent("s1", 2500)),
                                          Stored("s2.txt", TextContent("s2", 400)),
                                          Deflated("s3.bin", NoiseContent(5, 600))};
    for (EntryToWrite& input : streamed) input.streamed = true;
    bases.push_back(BuildZip(streamed));
    for (EntryToWrite& input : streamed) {
        input.descriptorSignature = false;
        input.zip64Descriptor = input.method == Method::Deflated;
    }
    bases.push_back(BuildZip(streamed));
    EntryToWrite secret = Deflated("secret.txt", TextContent("x", 500));
    secret.encrypted = true;
    bases.push_back(BuildZip(
        {Stored("../up.txt", "up"),
         Deflated("a/../../../../../../../../../../../../" + std::string(kEscapeMarker), TextContent("e", 400)),
         Stored("/abs.txt", "abs"), Deflated("C:\\win\\x.txt", "win"), secret}));
    BuildOptions noCentral;
    noCentral.centralDirectory = false;
    bases.push_back(BuildZip({Deflated(std::string(240, 'n') + "/" + std::string(259, 'm'), TextContent("l", 800)),
                              Stored("PACKING.TXT", "packing"), Deflated("z.txt", TextContent("z", 1200))},
                             noCentral));
    bases.push_back(BuildZip({Deflated("only.txt", TextContent("only", 5000))}));
    // Really encrypted entries, read with the right password.
    std::vector<EntryToWrite> encrypted = {Stored("zc.bin", NoiseContent(6, 700)),
                                           Deflated("zc.txt", TextContent("zc", 2000)),
                                           Deflated("aes.txt", TextContent("aes", 1500))};
    encrypted[1].streamed = true;
    for (EntryToWrite& input : encrypted) input.password = kFuzzPassword;
    encrypted[2].aes = EntryToWrite::Aes{1, 1};
    bases.push_back(BuildZip(encrypted));

    // Every other compression method this build reads, plain and streamed.
    std::vector<EntryToWrite> methods;
    for (Codec codec : {Codec::BZip2, Codec::Lzma, Codec::LzmaEndMarker, Codec::Xz, Codec::Zstd}) {
        if (!HaveEncoder(codec) || !IsReadableMethod(CodecMethod(codec))) continue;
        const std::string name = CodecName(codec);
        methods.push_back(Compressed(codec, name + ".txt", TextContent(name, 2000)));
        methods.push_back(Compressed(codec, name + ".bin", NoiseContent(7, 300)));
        methods.back().streamed = codec != Codec::Lzma;
    }
    if (!methods.empty()) bases.push_back(BuildZip(methods));
    return bases;
}

void PutLittleEndian(Bytes& bytes, std::size_t at, std::uint32_t value, std::size_t width) {
    for (std::size_t i = 0; i < width && at + i < bytes.size(); ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void PutU32(Bytes& bytes, std::size_t at, std::uint32_t value) { PutLittleEndian(bytes, at, value, 4); }

std::uint32_t InterestingValue(Random& random) {
    static const std::uint32_t kValues[] = {0,   1,      2,      29,      30,         46,         500,
                                            501, 0x7FFF, 0xFFFF, 0x10000, 0x7FFFFFFF, 0xFFFFFFF0, 0xFFFFFFFF};
    return random.Below(3) == 0 ? static_cast<std::uint32_t>(random.Next()) : kValues[random.Below(std::size(kValues))];
}

// One random damage; offsets prefer the records' own positions.
void Mutate(BuiltZip& zip, Random& random) {
    Bytes& bytes = zip.bytes;
    if (bytes.empty()) return;
    const EntryLayout& entry = zip.entries[random.Below(zip.entries.size())];
    std::size_t anywhere = random.Below(bytes.size());
    switch (random.Below(10)) {
        case 0:
            for (std::size_t n = 1 + random.Below(8); n > 0; --n)
                FlipBits(bytes, random.Below(bytes.size()), static_cast<std::uint8_t>(1u << random.Below(8)));
            break;
        case 1: TruncateAt(bytes, anywhere); break;
        case 2: ZeroRange(bytes, anywhere, 1 + random.Below(200)); break;
        case 3: {  // a copy of a local header somewhere else
            std::size_t length = std::min<std::size_t>(30 + random.Below(40), bytes.size() - entry.localHeader);
            Bytes header(bytes.begin() + static_cast<std::ptrdiff_t>(entry.localHeader),
                         bytes.begin() + static_cast<std::ptrdiff_t>(entry.localHeader + length));
            bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(anywhere), header.begin(), header.end());
            break;
        }
        case 4:  // garbled header bytes
            for (std::size_t n = 4 + random.Below(10); n > 0; --n)
                if (entry.localHeader + 4 < bytes.size())
                    bytes[entry.localHeader + 4 + random.Below(26)] = random.Byte();
            break;
        case 5: {  // a size, length, flag or method field set to an odd value
            static const std::size_t kFields[] = {6, 8, 14, 18, 22, 26, 28};
            std::size_t at = entry.localHeader + kFields[random.Below(std::size(kFields))];
            std::uint32_t value = InterestingValue(random);
            bool narrow = at - entry.localHeader == 6 || at - entry.localHeader == 8 || at - entry.localHeader >= 26;
            PutLittleEndian(bytes, at, value, narrow ? 2 : 4);
            break;
        }
        case 6: {  // stray signature
            static const std::uint32_t kSignatures[] = {0x04034B50, 0x02014B50, 0x08074B50, 0x06054B50};
            PutU32(bytes, anywhere, kSignatures[random.Below(4)]);
            break;
        }
        case 7:
            if (entry.centralHeader != kNone)
                PutU32(bytes, entry.centralHeader + (random.Below(2) ? 42 : 20), InterestingValue(random));
            break;
        case 8: {  // inserted or removed bytes shift everything after them
            std::size_t n = 1 + random.Below(64);
            if (random.Below(2)) {
                Bytes junk = Garbage(n, static_cast<std::uint32_t>(random.Next()));
                bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(anywhere), junk.begin(), junk.end());
            } else {
                n = std::min(n, bytes.size() - anywhere);
                bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(anywhere),
                            bytes.begin() + static_cast<std::ptrdiff_t>(anywhere + n));
            }
            break;
        }
        default: FillRange(bytes, anywhere, 1 + random.Below(32), random.Byte()); break;
    }
}

std::size_t CaseCount() {
    const char* text = std::getenv("TESSALY_FUZZ_CASES");
    long value = text ? std::atol(text) : 0;
    return value > 0 ? static_cast<std::size_t>(value) : 3000;
}

// Checks each entry's report against the disk right after it is written (a
// later entry of the same name may replace the file).
class DiskCheck : public SalvageObserver {
public:
    DiskCheck(const fs::path& output, std::string& problems) : output_(output), problems_(problems) {}
    void EntryDone(const SalvagedEntry& entry) override {
        const ExtractReport& report = entry.report;
        const std::string i = std::to_string(entry.index);
        std::error_code ec;
        const bool folder = fs::is_directory(report.outputPath, ec);
        if (report.outcome == ExtractOutcome::Ok && folder && report.bytesWritten != 0)
            problems_ += "entry " + i + " reported a folder with data; ";
        if (report.outcome == ExtractOutcome::Ok && !folder &&
            fs::file_size(report.outputPath, ec) != report.bytesWritten)
            problems_ += "entry " + i + " reported ok with a file of another size; ";
        if (!report.outputPath.empty()) {
            fs::path relative = report.outputPath.lexically_relative(output_);
            if (relative.empty() || *relative.begin() == "..")
                problems_ += "entry " + i + " reported output " + report.outputPath.string() + "; ";
        }
    }

private:
    const fs::path& output_;
    std::string& problems_;
};

// Opens, lists and extracts everything; returns a description of anything
// that went wrong, empty when all was well.
std::string SalvageEverything(const fs::path& archivePath, const fs::path& output, RepairMode mode, bool withPassword) {
    CZipArchive zip;
    FuzzPassword password;
    std::string problems;
    OutputDestination destination(output);
    try {
        zip.OpenArchive(archivePath, static_cast<RepairMode>(mode));
    } catch (const CZipException&) {
    } catch (const CFileException&) {
    }
    for (std::uint32_t i = 0; i < zip.GetCount(); ++i) {
        CFileHeader info;
        if (!zip.GetEntryInfo(info, i)) problems += "GetEntryInfo(" + std::to_string(i) + ") failed; ";
        info.GetModificationTime();
    }
    tessaly::SalvageOptions options;
    options.bufferSize = 4093;
    options.passwords = withPassword ? &password : nullptr;
    options.resync = mode == AdvanceRepair;
    DiskCheck check(output, problems);
    SalvageEntries(zip, destination, options, check);
    zip.CloseArchive(true);
    return problems;
}

std::string OutsideWrites(const fs::path& root) {
    std::string problems;
    for (const std::string& path : ListFilesBelow(root))
        if (path != "case.zip" && path.rfind("w/x/y/out/", 0) != 0)
            problems += "written outside the destination: " + path + "; ";
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->is_symlink(ec)) problems += "link created: " + it->path().string() + "; ";
    for (const fs::path& escaped : {fs::temp_directory_path() / kEscapeMarker, fs::path("/") / kEscapeMarker})
        if (fs::exists(escaped, ec)) problems += "escaped to " + escaped.string() + "; ";
    return problems;
}

TEST(FuzzedArchives, NeverCrashNorWriteOutsideTheDestination) {
    std::vector<BuiltZip> bases = BaseArchives();
    TempFolder root("tessaly-fuzz");
    fs::path output = root / "w" / "x" / "y" / "out";
    std::size_t cases = CaseCount();
    for (std::size_t n = 0; n < cases; ++n) {
        Random random(0xC0FFEE + n * 7919);
        BuiltZip zip = bases[n % bases.size()];
        for (std::size_t k = 1 + random.Below(4); k > 0; --k) Mutate(zip, random);
        WriteFileBytes(root / "case.zip", zip.bytes);
        for (RepairMode mode : {QuickRepair, AdvanceRepair}) {
            std::string problems;
            try {
                // Every other pass over a base with a password: both ways of
                // meeting encrypted entries are tried.
                problems = SalvageEverything(root / "case.zip", output, mode, (n / bases.size()) % 2 == 0);
            } catch (const std::exception& e) {
                problems = std::string("unexpected exception: ") + e.what();
            }
            problems += OutsideWrites(root.Path());
            if (!problems.empty()) {
                ADD_FAILURE() << "case " << n << " (" << ModeName(mode) << "): " << problems;
                WriteFileBytes(fs::temp_directory_path() / ("tessaly-fuzz-case-" + std::to_string(n) + ".zip"),
                               zip.bytes);
            }
            std::error_code ec;
            fs::remove_all(root / "w", ec);
        }
    }
}

}  // namespace
}  // namespace tessaly::archivetest
