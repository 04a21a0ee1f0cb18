// Encrypted entries opened with a password: traditional PKWARE encryption
// and WinZip AES (AE-1, AE-2; 128, 192, 256 bits), stored and deflated,
// whole, damaged and cut, in both repair modes. Archives come from the
// test writer (which really encrypts) and, when 7zz is installed, from 7zz.
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/crypto/PasswordSource.h"
#include "archive/crypto/TraditionalDecryption.h"
#include "tests/archive/SalvageRun.h"
#include "tests/support/Damage.h"
#include "tests/support/Portable.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipCrypt.h"

namespace tessaly::archivetest {
namespace {

using namespace testzip;
namespace fs = std::filesystem;

const std::string kPassword = "c0rrect horse";

EntryToWrite Encrypted(EntryToWrite input, std::optional<EntryToWrite::Aes> aes = std::nullopt) {
    input.password = kPassword;
    input.aes = aes;
    return input;
}

EntryToWrite Aes(EntryToWrite input, int strength, int vendorVersion) {
    return Encrypted(std::move(input), EntryToWrite::Aes{strength, vendorVersion});
}

EntryToWrite Streamed(EntryToWrite input) {
    input.streamed = true;
    input.dosTime = DosTime(17, 45, 10);  // a check byte unlike the CRC-32's
    return input;
}

// Every scheme and framing the writer makes, and one plain entry.
std::vector<EntryToWrite> EveryScheme() {
    std::vector<EntryToWrite> inputs = {
        Encrypted(Stored("zc/stored.bin", NoiseContent(1, 3000))),
        Encrypted(Deflated("zc/deflated.txt", TextContent("zc", 50000))),
        Encrypted(Streamed(Deflated("zc/streamed.txt", TextContent("st", 20000)))),
        Encrypted(Streamed(Stored("zc/streamed.bin", NoiseContent(2, 4000)))),
        Aes(Streamed(Deflated("aes-streamed/text.txt", TextContent("as", 30000))), 2, 2),
        Aes(Streamed(Deflated("aes-streamed/ae1.txt", TextContent("a1", 3000))), 3, 1),
        Aes(Streamed(Stored("aes-streamed/noise.bin", NoiseContent(6, 3000))), 1, 2),
        Stored("plain.txt", "not encrypted"),
    };
    for (int strength = 1; strength <= 3; ++strength) {
        for (int version = 1; version <= 2; ++version) {
            const std::string tag = "aes" + std::to_string(strength) + "-ae" + std::to_string(version);
            inputs.push_back(Aes(Stored(tag + "/stored.bin", NoiseContent(10 + strength, 2500)), strength, version));
            inputs.push_back(Aes(Deflated(tag + "/deflated.txt", TextContent(tag, 40000)), strength, version));
        }
    }
    return inputs;
}

// Every entry of EveryScheme() but the plain one is reported encrypted,
// "<why> (<its encryption>)", with nothing on disk.
void ExpectEncryptedLeftOut(const SalvageRun& run, const std::string& why) {
    for (const EntryRun& entry : run.entries) {
        if (entry.info.fileName == "plain.txt") continue;
        const bool aes = entry.info.fileName.rfind("aes", 0) == 0;
        EXPECT_EQ(entry.report.outcome, ExtractOutcome::Encrypted) << entry.info.fileName;
        EXPECT_EQ(entry.report.detail, why + (aes ? " (WinZip AES encryption)" : " (traditional PKWARE encryption)"));
        EXPECT_TRUE(NothingWritten(run, entry));
    }
}

class Encryption : public ::testing::TestWithParam<RepairMode> {
protected:
    // Salvages `archive` in this test's mode with the right password given.
    SalvageRun WithPassword(const Bytes& archive) {
        SalvageOptions salvage;
        salvage.passwords = &right_;
        return SalvageRun(archive, GetParam(), salvage);
    }

private:
    FixedPassword right_{kPassword};
};

TEST_P(Encryption, RightPasswordGivesEveryEntryByteExact) {
    const std::vector<EntryToWrite> inputs = EveryScheme();
    for (bool central : {true, false}) {
        BuildOptions options;
        options.centralDirectory = central;
        FixedPassword source(kPassword);
        SalvageOptions salvage;
        salvage.passwords = &source;
        SalvageRun run(BuildZip(inputs, options).bytes, GetParam(), salvage);
        EXPECT_EQ(run.Count(), inputs.size()) << "central directory " << central;
        for (const EntryToWrite& input : inputs) EXPECT_TRUE(IsIntact(run, input.name, input.data));
        EXPECT_EQ(source.asked, static_cast<int>(inputs.size()) - 1);  // never for the plain entry
    }
}

TEST_P(Encryption, WrongPasswordWritesNothingAndSaysSo) {
    const std::vector<EntryToWrite> inputs = EveryScheme();
    FixedPassword source(std::string("wrong"));
    SalvageOptions salvage;
    salvage.passwords = &source;
    SalvageRun run(BuildZip(inputs).bytes, GetParam(), salvage);
    ASSERT_EQ(run.Count(), inputs.size());
    ExpectEncryptedLeftOut(run, "wrong password");
    EXPECT_TRUE(IsIntact(run, "plain.txt", ToBytes("not encrypted")));
}

// A wrong password passes one entry's check byte once in 256 times; the
// other entries' check bytes still refuse it, and nothing is written.
TEST_P(Encryption, WrongPasswordPassingOneCheckByteWritesNothing) {
    const std::vector<EntryToWrite> inputs = {Encrypted(Stored("first.bin", NoiseContent(4, 5000))),
                                              Encrypted(Deflated("second.txt", TextContent("two", 9000))),
                                              Encrypted(Streamed(Deflated("third.txt", TextContent("three", 700))))};
    const BuiltZip zip = BuildZip(inputs);
    const std::uint8_t* header = zip.bytes.data() + zip.entries[0].dataStart;
    const auto check = static_cast<std::uint8_t>(zip.entries[0].crc32 >> 24);
    std::string lucky;
    for (int n = 0; lucky.empty(); ++n) {
        const std::string guess = "guess" + std::to_string(n);
        if (TraditionalDecryption(guess, check).Start(header)) lucky = guess;
    }
    FixedPassword source(lucky);
    SalvageOptions salvage;
    salvage.passwords = &source;
    SalvageRun run(zip.bytes, GetParam(), salvage);
    ASSERT_EQ(run.Count(), inputs.size());
    for (const EntryRun& entry : run.entries) {
        EXPECT_EQ(entry.report.outcome, ExtractOutcome::Encrypted) << entry.info.fileName;
        EXPECT_EQ(entry.report.detail, "wrong password (traditional PKWARE encryption)") << entry.info.fileName;
    }
    EXPECT_TRUE(run.files.empty());

    // The right password still opens every entry when one encryption
    // header is damaged, and that entry is called damaged, not a wrong
    // password: the others' check bytes accept the password.
    Bytes damaged = zip.bytes;
    FlipBits(damaged, zip.entries[1].dataStart + 11, 0xFF);
    FixedPassword right(kPassword);
    salvage.passwords = &right;
    SalvageRun kept(damaged, GetParam(), salvage);
    EXPECT_TRUE(IsIntact(kept, "first.bin", inputs[0].data));
    EXPECT_TRUE(IsIntact(kept, "third.txt", inputs[2].data));
    const EntryRun* second = kept.Find("second.txt");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->report.outcome, ExtractOutcome::Damaged);
    EXPECT_EQ(second->report.detail.rfind("encryption header damaged", 0), 0u) << second->report.detail;
}

// Without a source, or when the source gives nothing, encrypted entries are
// named by their encryption and left out, as they always were.
TEST_P(Encryption, NoPasswordLeavesEncryptedEntriesOut) {
    const std::vector<EntryToWrite> inputs = EveryScheme();
    FixedPassword declines(std::nullopt);
    for (PasswordSource* source : {static_cast<PasswordSource*>(nullptr), static_cast<PasswordSource*>(&declines)}) {
        SalvageOptions salvage;
        salvage.passwords = source;
        SalvageRun run(BuildZip(inputs).bytes, GetParam(), salvage);
        ASSERT_EQ(run.Count(), inputs.size());
        ExpectEncryptedLeftOut(run, "encrypted");
    }
}

// AE-2 stores no CRC-32: only the authentication code tells that a stored
// entry's bytes changed. The decrypted bytes are kept.
TEST_P(Encryption, FlippedAesByteIsDamagedWithItsBytesKept) {
    const Bytes content = NoiseContent(7, 6000);
    for (int version = 1; version <= 2; ++version) {
        BuiltZip zip = BuildZip({Aes(Stored("secret.bin", content), 3, version), Stored("after.txt", "after")});
        const std::size_t flipped = 3000;
        FlipBits(zip.bytes, zip.entries[0].dataStart + 18 + flipped, 0x10);
        SalvageRun run = WithPassword(zip.bytes);
        const EntryRun* entry = run.Find("secret.bin");
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->report.outcome, ExtractOutcome::Damaged) << "AE-" << version;
        EXPECT_NE(entry->report.detail.find("authentication code mismatch"), std::string::npos) << entry->report.detail;
        const std::optional<Bytes> written = run.FileContent("secret.bin");
        ASSERT_TRUE(written);
        ASSERT_EQ(written->size(), content.size());
        Bytes expected = content;
        expected[flipped] ^= 0x10;  // counter mode: one flipped bit stays one flipped bit
        EXPECT_EQ(*written, expected);
        EXPECT_TRUE(IsIntact(run, "after.txt", ToBytes("after")));
    }
}

// A local AES field whose strength and real method damage made unreadable
// is repaired from the central record's.
TEST_P(Encryption, DamagedLocalAesFieldIsRepairedFromTheCentralRecord) {
    const Bytes content = TextContent("field", 20000);
    BuiltZip zip = BuildZip({Aes(Deflated("text.txt", content), 3, 2), Stored("after.txt", "after")});
    const std::size_t field = zip.entries[0].extraOffset;  // id, length, version, "AE", strength, method
    zip.bytes[field + 8] = 7;                              // strength
    zip.bytes[field + 9] ^= 0x20;                          // method 8 becomes 40
    SalvageRun run = WithPassword(zip.bytes);
    EXPECT_TRUE(IsIntact(run, "text.txt", content));
    EXPECT_TRUE(IsIntact(run, "after.txt", ToBytes("after")));
}

// A flipped byte in deflated AES data keeps what inflated before it.
TEST_P(Encryption, CorruptDeflatedAesKeepsWhatInflated) {
    const Bytes content = TextContent("corrupt", 200000);
    BuiltZip zip = BuildZip({Aes(Deflated("text.txt", content), 2, 2)});
    const EntryLayout& layout = zip.entries[0];
    FillRange(zip.bytes, layout.dataStart + 14 + (layout.dataEnd - layout.dataStart) / 2, 64, 0x5A);
    SalvageRun run = WithPassword(zip.bytes);
    const EntryRun* entry = run.Find("text.txt");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->report.outcome, ExtractOutcome::Damaged) << entry->report.detail;
    const std::optional<Bytes> written = run.FileContent("text.txt");
    ASSERT_TRUE(written);
    EXPECT_GT(written->size(), content.size() / 4);
    EXPECT_TRUE(IsPrefix(Bytes(written->begin(), written->begin() + content.size() / 4), content));
}

// An archive cut inside encrypted data gives up the decrypted bytes before
// the cut; one cut inside the encryption header gives nothing.
TEST_P(Encryption, CutEncryptedEntryIsTruncated) {
    const Bytes text = TextContent("cut", 120000);
    const Bytes noise = NoiseContent(9, 30000);
    for (bool aes : {false, true}) {
        std::vector<EntryToWrite> inputs = {Deflated("text.txt", text), Stored("noise.bin", noise)};
        for (EntryToWrite& input : inputs) input = aes ? Aes(std::move(input), 1, 1) : Encrypted(std::move(input));
        BuiltZip zip = BuildZip(inputs);
        const EntryLayout& last = zip.entries[1];
        TruncateAt(zip.bytes, last.dataStart + (last.dataEnd - last.dataStart) / 2);
        SalvageRun run = WithPassword(zip.bytes);
        EXPECT_TRUE(IsIntact(run, "text.txt", text)) << "AES " << aes;
        const EntryRun* entry = run.Find("noise.bin");
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->report.outcome, ExtractOutcome::Truncated) << entry->report.detail;
        const std::optional<Bytes> written = run.FileContent("noise.bin");
        ASSERT_TRUE(written);
        EXPECT_GT(written->size(), noise.size() / 3);
        EXPECT_TRUE(IsPrefix(*written, noise));

        TruncateAt(zip.bytes, last.dataStart + 5);
        SalvageRun header = WithPassword(zip.bytes);
        const EntryRun* cut = header.Find("noise.bin");
        ASSERT_NE(cut, nullptr);
        EXPECT_EQ(cut->report.outcome, ExtractOutcome::Truncated) << cut->report.detail;
        EXPECT_TRUE(NothingWritten(header, *cut));
    }
}

// A streamed deflated entry with nothing after its descriptor keeps its
// sizes unknown to the scan: the stream's end tells where the code is.
TEST_P(Encryption, LastStreamedEntryWithoutDirectoryIsWhole) {
    const Bytes text = TextContent("last", 25000);
    for (bool aes : {false, true}) {
        EntryToWrite input = Streamed(Deflated("last.txt", text));
        input = aes ? Aes(std::move(input), 3, 1) : Encrypted(std::move(input));
        BuildOptions options;
        options.centralDirectory = false;
        SalvageRun run = WithPassword(BuildZip({input}, options).bytes);
        EXPECT_TRUE(IsIntact(run, "last.txt", text)) << "AES " << aes;
    }
}

// Entries from 4 MiB on are written by a second thread; the authentication
// code is still checked over all of the data.
TEST_P(Encryption, LargeAesEntryIsCheckedWhole) {
    const Bytes content = NoiseContent(11, (std::size_t{5} << 20) + 123);
    BuiltZip zip = BuildZip({Aes(Stored("large.bin", content), 3, 2)});
    FixedPassword source(kPassword);
    SalvageOptions salvage;
    salvage.passwords = &source;
    {
        SalvageRun run(zip.bytes, GetParam(), salvage);
        EXPECT_TRUE(IsIntact(run, "large.bin", content));
    }
    FlipBits(zip.bytes, zip.entries[0].dataEnd - 11, 0x01);  // the last data byte
    SalvageRun run(zip.bytes, GetParam(), salvage);
    ASSERT_EQ(run.Count(), 1u);
    EXPECT_EQ(run.entries[0].report.outcome, ExtractOutcome::Damaged);
    EXPECT_EQ(run.entries[0].report.detail, "authentication code mismatch");
}

// An encrypted entry whose data is shorter than its encryption framing, with
// more of the archive after it: the first bytes of a real encryption (a
// writer that stopped early), the encryption flag set, the sizes those few
// bytes. For AES the framing is the salt, the verifier and the code.
enum class Framing { Sized, Streamed, StreamedNoSignature };

EntryToWrite CutBeforeItsData(std::string name, bool aes, std::size_t kept, Framing framing = Framing::Sized) {
    const Bytes content = TextContent(name, 400);
    EntryToWrite input = Stored(std::move(name), content);
    input.streamed = framing != Framing::Sized;
    input.descriptorSignature = framing != Framing::StreamedNoSignature;
    Bytes encrypted = aes ? AesEncrypt(kPassword, 3, content, 7) : TraditionalEncrypt(kPassword, 0x5A, content, 7);
    encrypted.resize(kept);
    input.rawData = encrypted;
    input.encrypted = true;
    if (aes) {
        input.methodOverride = 99;
        input.extra = AesExtra(2, 3, 0);
    }
    return input;
}

// Such an entry says what it is, and never that the right password is wrong;
// the entries around it are whole. No password is asked for it. A streamed
// one ends at its descriptor, whatever the scan learned of its sizes.
TEST_P(Encryption, EntryCutBeforeItsEncryptedDataIsNotAWrongPassword) {
    const struct {
        const char* label;
        bool aes;
        Framing framing;
        bool central;
        bool last = false;  // the central directory follows it
    } cases[] = {
        {"traditional", false, Framing::Sized, true},
        {"traditional, no directory", false, Framing::Sized, false},
        {"traditional, last", false, Framing::Sized, true, true},
        {"AES", true, Framing::Sized, true},
        {"AES, no directory", true, Framing::Sized, false},
        {"AES, last", true, Framing::Sized, true, true},
        {"traditional streamed, no directory", false, Framing::Streamed, false},
        {"traditional streamed, unsigned descriptor", false, Framing::StreamedNoSignature, true},
        {"traditional streamed, unsigned descriptor, no directory", false, Framing::StreamedNoSignature, false},
        {"AES streamed, unsigned descriptor, no directory", true, Framing::StreamedNoSignature, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const auto encrypt = [&c](EntryToWrite input) {
            return c.aes ? Aes(std::move(input), 3, 2) : Encrypted(input);
        };
        std::vector<EntryToWrite> inputs = {encrypt(Stored("before.bin", NoiseContent(3, 2000))),
                                            encrypt(Deflated("after.txt", TextContent("after", 9000))),
                                            CutBeforeItsData("short.txt", c.aes, c.aes ? 20 : 5, c.framing)};
        if (!c.last) std::swap(inputs[1], inputs[2]);
        BuildOptions options;
        options.centralDirectory = c.central;
        FixedPassword source(kPassword);
        SalvageOptions salvage;
        salvage.passwords = &source;
        SalvageRun run(BuildZip(inputs, options).bytes, GetParam(), salvage);
        EXPECT_TRUE(IsIntact(run, "before.bin", inputs[0].data));
        EXPECT_TRUE(IsIntact(run, "after.txt", TextContent("after", 9000)));
        const EntryRun* cut = run.Find("short.txt");
        ASSERT_NE(cut, nullptr);
        EXPECT_EQ(cut->report.outcome, ExtractOutcome::Damaged);
        EXPECT_EQ(cut->report.detail, c.aes ? "entry cut short before its encrypted data begins (20 bytes of data, "
                                              "the WinZip AES encryption needs 28)"
                                            : "entry cut short before its encrypted data begins (5 bytes of data, "
                                              "the traditional PKWARE encryption needs 12)");
        EXPECT_TRUE(NothingWritten(run, *cut));
        EXPECT_EQ(source.asked, 2);
    }
}

// The bytes where such an entry's encryption header should be are the next
// record's, which no password passes: they do not count against the
// password when the check bytes of the archive's entries vote on it. Here
// they outnumber the entries that really are encrypted.
TEST_P(Encryption, EntriesCutBeforeTheirEncryptedDataDoNotVote) {
    std::vector<EntryToWrite> inputs;
    for (int i = 0; i < 3; ++i) inputs.push_back(CutBeforeItsData("short" + std::to_string(i) + ".txt", false, 1 + i));
    inputs.push_back(Encrypted(Stored("whole.bin", NoiseContent(8, 3000))));
    inputs.push_back(Encrypted(Streamed(Deflated("streamed.txt", TextContent("streamed", 5000)))));
    const Bytes archive = BuildZip(inputs).bytes;
    SalvageRun run = WithPassword(archive);
    EXPECT_TRUE(IsIntact(run, "whole.bin", inputs[3].data));
    EXPECT_TRUE(IsIntact(run, "streamed.txt", inputs[4].data));

    // A wrong password is still refused by the entries that can say so, and
    // the cut entries still say what they are.
    FixedPassword wrong(std::string("wrong"));
    SalvageOptions salvage;
    salvage.passwords = &wrong;
    SalvageRun refused(archive, GetParam(), salvage);
    ASSERT_EQ(refused.Count(), inputs.size());
    for (const EntryRun& entry : refused.entries) {
        const bool cut = entry.info.fileName.rfind("short", 0) == 0;
        EXPECT_EQ(entry.report.outcome, cut ? ExtractOutcome::Damaged : ExtractOutcome::Encrypted)
            << entry.info.fileName;
        EXPECT_EQ(entry.report.detail.rfind(cut ? "entry cut short" : "wrong password", 0), 0u) << entry.report.detail;
    }
    EXPECT_TRUE(refused.files.empty());
}

INSTANTIATE_TEST_SUITE_P(BothModes, Encryption, kBothModes, ModeParamName());

// ---------------------------------------------------------------------------
// Archives written by 7zz, when it is installed.

struct SevenZipCase {
    const char* label;
    const char* encryption;  // -mem=
    const char* method;      // -mm=
};

const SevenZipCase kSevenZipCases[] = {
    {"Aes256Deflate", "AES256", "Deflate"},       {"Aes256Copy", "AES256", "Copy"},
    {"Aes192Deflate", "AES192", "Deflate"},       {"Aes192Copy", "AES192", "Copy"},
    {"Aes128Deflate", "AES128", "Deflate"},       {"Aes128Copy", "AES128", "Copy"},
    {"ZipCryptoDeflate", "ZipCrypto", "Deflate"}, {"ZipCryptoCopy", "ZipCrypto", "Copy"},
};

class SevenZipEncrypted : public ::testing::TestWithParam<std::tuple<SevenZipCase, RepairMode>> {};

TEST_P(SevenZipEncrypted, RightPasswordByteExactWrongPasswordNothing) {
    const std::string missing = ReferenceToolMissing("7zz");
    if (!missing.empty()) GTEST_SKIP() << missing;
    const SevenZipCase& c = std::get<0>(GetParam());
    TempFolder folder("tessaly-7zz");
    const fs::path input = folder / "in";
    fs::create_directories(input / "sub");
    const std::vector<std::pair<std::string, Bytes>> files = {
        {"text.txt", TextContent("seven", 300000)},
        {"sub/noise.bin", NoiseContent(3, 70000)},
        {"sub/small.txt", ToBytes("small")},
    };
    for (const auto& [name, content] : files) WriteFileBytes(input / name, content);
    const fs::path archive = folder / "made.zip";
    const std::string command = "cd '" + input.string() + "' && 7zz a -tzip -bd -p'" + kPassword +
                                "' -mem=" + c.encryption + " -mm=" + c.method + " '" + archive.string() +
                                "' text.txt sub >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const Bytes bytes = ReadFileBytes(archive);

    FixedPassword right(kPassword);
    SalvageOptions salvage;
    salvage.passwords = &right;
    SalvageRun run(bytes, std::get<1>(GetParam()), salvage);
    for (const auto& [name, content] : files) EXPECT_TRUE(IsIntact(run, name, content));

    FixedPassword wrong(std::string("not it"));
    salvage.passwords = &wrong;
    SalvageRun refused(bytes, std::get<1>(GetParam()), salvage);
    for (const EntryRun& entry : refused.entries) {
        if (!entry.info.IsEncrypted()) continue;  // the folder entry
        EXPECT_EQ(entry.report.outcome, ExtractOutcome::Encrypted) << entry.info.fileName;
        EXPECT_EQ(entry.report.detail.rfind("wrong password (", 0), 0u) << entry.report.detail;
    }
    EXPECT_TRUE(refused.files.empty());
}

std::string SevenZipName(const ::testing::TestParamInfo<std::tuple<SevenZipCase, RepairMode>>& info) {
    return std::string(std::get<0>(info.param).label) + "_" + ModeName(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(SevenZip, SevenZipEncrypted,
                         ::testing::Combine(::testing::ValuesIn(kSevenZipCases), kBothModes), SevenZipName);

}  // namespace
}  // namespace tessaly::archivetest
