// Repaired archives: every archive of the salvage corpus repaired, in both
// modes, with and without the password, and read back by readers that share
// no code with this project (unzip, 7-Zip, Python's zipfile, bsdtar) and by
// this project's own salvage. Whole entries must be verbatim copies of the
// original stored bytes; partial ones hold exactly what the salvage kept.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive/ZipArchive.h"
#include "archive/repair/ArchiveRepair.h"
#include "archive/repair/ArchiveWriter.h"
#include "platform/File.h"
#include "tests/archive/DamageCorpus.h"
#include "tests/archive/SalvageRun.h"
#include "tests/support/Damage.h"
#include "tests/support/IndependentReaders.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipDirectory.h"
#include "tests/support/ZipWriter.h"

namespace tessaly::archivetest {
namespace {

using namespace testzip;
namespace fs = std::filesystem;

class RecordingObserver : public RepairObserver {
public:
    void EntryRepaired(const RepairedEntry& entry) override { entries.push_back(entry); }
    void BetweenBlocks(std::uint32_t index) override {
        if (stopAt && index == *stopAt) throw SalvageStopped{};
    }
    std::vector<RepairedEntry> entries;
    std::optional<std::uint32_t> stopAt;
};

// One archive repaired into "repaired.zip" beside it.
struct Repair {
    Repair(const Bytes& archive, RepairMode mode, std::optional<std::string> password,
           PartialEntries partial = PartialEntries::Write, std::optional<std::uint32_t> stopAt = std::nullopt)
        : passwords(password) {
        WriteFileBytes(Input(), archive);
        CZipArchive zip;
        zip.OpenArchive(Input(), mode);
        RepairOptions options;
        options.salvage.passwords = password ? &passwords : nullptr;
        options.partial = partial;
        observer.stopAt = stopAt;
        result = RepairArchive(zip, Output(), options, observer);
        zip.CloseArchive(false);
        if (result.written) bytes = ReadFileBytes(Output());
    }

    fs::path Input() const { return folder / "damaged.zip"; }
    fs::path Output() const { return folder / "repaired.zip"; }
    std::vector<RepairedEntry> Written() const {
        std::vector<RepairedEntry> written;
        for (const RepairedEntry& entry : observer.entries)
            if (entry.action != RepairAction::LeftOut) written.push_back(entry);
        return written;
    }
    const RepairedEntry* Find(const std::string& name) const {
        for (const RepairedEntry& entry : observer.entries)
            if (entry.salvaged.name == name) return &entry;
        return nullptr;
    }

    TempFolder folder;
    FixedPassword passwords;
    RecordingObserver observer;
    RepairResult result;
    Bytes bytes;
};

// unzip reads stored, Deflate, Deflate64 and BZip2 members only, without AES.
bool UnzipReadsEveryMember(const Directory& directory) {
    return std::all_of(directory.entries.begin(), directory.entries.end(), [](const DirectoryEntry& e) {
        return e.method == 0 || e.method == 8 || e.method == 9 || e.method == 12;
    });
}

// Every installed reader reads the archive without an error (unzip is not
// asked about archives with members in methods it lacks).
void ExpectReadersAccept(const fs::path& archive, const Directory& directory, const std::string& password) {
    for (const ReaderVerdict& verdict : CheckWithReaders(archive, password)) {
        if (!verdict.installed) {
            std::cout << "[ reader   ] " << verdict.reader << " is not installed: not checked\n";
            continue;
        }
        if (verdict.reader == "unzip -t" && !UnzipReadsEveryMember(directory)) continue;
        EXPECT_TRUE(verdict.ok) << verdict.reader << " refused the repaired archive:\n" << verdict.output;
    }
}

// What the repaired archive holds matches what the repair reported, entry
// by entry: names in order, verbatim copies byte for byte, partial entries
// with their comment.
void ExpectRecordsMatch(const Repair& repair, const Bytes& original, const Directory& directory) {
    const std::vector<RepairedEntry> written = repair.Written();
    ASSERT_EQ(directory.entries.size(), written.size());
    EXPECT_EQ(repair.result.entries, written.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
        const RepairedEntry& entry = written[i];
        const DirectoryEntry& record = directory.entries[i];
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(record.name, entry.name);
        EXPECT_EQ(record.compressedSize, entry.packedSize);
        EXPECT_EQ(record.uncompressedSize, entry.size);
        const bool verbatim = entry.action == RepairAction::Copied || entry.action == RepairAction::CopiedUnverified;
        if (verbatim && entry.packedSize > 0) {
            const auto& from = entry.salvaged.report.storedData;
            ASSERT_TRUE(from.has_value());
            EXPECT_TRUE(StoredBytes(repair.bytes, record) ==
                        Bytes(original.begin() + static_cast<std::ptrdiff_t>(from->offset),
                              original.begin() + static_cast<std::ptrdiff_t>(from->offset + from->length)))
                << "not a verbatim copy";
        }
        EXPECT_EQ(record.comment.rfind("partial entry: ", 0) == 0, entry.action == RepairAction::Partial);
    }
}

// An entry the salvage read whole is in the repaired archive; one it kept
// a part of is there as that part, unless partial entries are left out.
void ExpectNothingSalvagedIsLost(const Repair& repair) {
    for (const RepairedEntry& entry : repair.observer.entries) {
        const ExtractReport& report = entry.salvaged.report;
        SCOPED_TRACE(entry.salvaged.name);
        if (report.outcome == ExtractOutcome::Ok) {
            EXPECT_NE(entry.action, RepairAction::LeftOut) << entry.note;
        }
        const bool partial = report.outcome == ExtractOutcome::Damaged || report.outcome == ExtractOutcome::Truncated ||
                             report.outcome == ExtractOutcome::Limited;
        if (partial && report.bytesWritten > 0) {
            EXPECT_EQ(entry.action, RepairAction::Partial);
            EXPECT_EQ(entry.size, report.bytesWritten);
        }
    }
}

// This project's salvage of the repaired archive finds every entry whole,
// each holding what the first salvage kept.
void ExpectSalvagedWhole(const Repair& repair, const CorpusArchive& archive) {
    FixedPassword password(kCorpusPassword);
    SalvageOptions options;
    options.passwords = &password;
    const SalvageRun again(repair.bytes, QuickRepair, options);
    const std::vector<RepairedEntry> written = repair.Written();
    ASSERT_EQ(again.Count(), written.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
        SCOPED_TRACE(written[i].name);
        EXPECT_EQ(again.entries[i].report.outcome, ExtractOutcome::Ok) << again.entries[i].report.detail;
        if (written[i].action != RepairAction::CopiedUnverified) {
            EXPECT_EQ(again.entries[i].report.bytesWritten, written[i].size);
        }
    }
    for (const EntryToWrite& input : archive.intact) EXPECT_TRUE(IsIntact(again, input.name, input.data));
}

class RepairCorpus : public ::testing::TestWithParam<RepairMode> {};

// Quick Repair without the password (encrypted entries copied unchecked),
// Advance Repair with it (every entry checked).
TEST_P(RepairCorpus, EveryReaderOpensWhatTheRepairWrites) {
    const RepairMode mode = GetParam();
    const std::optional<std::string> password =
        mode == AdvanceRepair ? std::optional<std::string>(kCorpusPassword) : std::nullopt;
    for (const CorpusArchive& archive : BuildDamageCorpus(1000)) {
        SCOPED_TRACE(archive.label);
        const Repair repair(archive.bytes, mode, password);
        if (repair.Written().empty()) {
            // Nothing to keep: no archive at all rather than an empty one.
            EXPECT_FALSE(repair.result.written);
            EXPECT_EQ(ListFilesBelow(repair.folder.Path()), std::vector<std::string>{"damaged.zip"});
            continue;
        }
        ASSERT_TRUE(repair.result.written) << repair.result.problem;
        const std::optional<Directory> directory = ReadDirectory(repair.bytes);
        ASSERT_TRUE(directory.has_value()) << "the repaired archive's directory cannot be read";
        EXPECT_FALSE(directory->zip64End) << "ZIP64 end records in a small archive";
        ExpectRecordsMatch(repair, archive.bytes, *directory);
        ExpectNothingSalvagedIsLost(repair);
        ExpectSalvagedWhole(repair, archive);
        ExpectReadersAccept(repair.Output(), *directory, kCorpusPassword);
        EXPECT_EQ(ListFilesBelow(repair.folder.Path()), (std::vector<std::string>{"damaged.zip", "repaired.zip"}))
            << "scratch files left behind";
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, RepairCorpus, kBothModes, ModeParamName());

// An encrypted entry nobody gave the password for is copied unchecked, and
// still opens with its password; one whose data's end is uncertain is left
// out with the reason, and so is one the password given does not open
// (a reader given it would meet the same refusal).
TEST(RepairEncrypted, CopiedUnverifiedWhenItsExtentIsCertain) {
    std::vector<EntryToWrite> inputs = {WithPassword(Deflated("a.txt", TextContent("a", 3000)), "pw"),
                                        WithPassword(Deflated("b.txt", TextContent("b", 3000)), "pw"),
                                        Deflated("c.txt", TextContent("c", 500))};
    inputs[1].streamed = true;
    BuiltZip zip = BuildZip(inputs);
    // The first entry's declared size now runs past its data.
    SetLocalField(zip.bytes, zip.entries[0], LocalField::CompressedSize,
                  static_cast<std::uint32_t>(zip.entries[0].compressedSize + 7));
    SetCentralField(zip.bytes, zip.entries[0], CentralField::CompressedSize,
                    static_cast<std::uint32_t>(zip.entries[0].compressedSize + 7));
    const Repair repair(zip.bytes, QuickRepair, std::nullopt);
    ASSERT_TRUE(repair.result.written) << repair.result.problem;
    ASSERT_EQ(repair.observer.entries.size(), 3u);
    EXPECT_EQ(repair.observer.entries[0].action, RepairAction::LeftOut);
    EXPECT_NE(repair.observer.entries[0].note.find("not certain"), std::string::npos)
        << repair.observer.entries[0].note;
    EXPECT_EQ(repair.observer.entries[1].action, RepairAction::CopiedUnverified);
    EXPECT_EQ(repair.observer.entries[2].action, RepairAction::Copied);
    const std::optional<Directory> directory = ReadDirectory(repair.bytes);
    ASSERT_TRUE(directory && directory->entries.size() == 2);
    // Traditional encryption of a streamed entry checks its password against
    // the time, which its descriptor flag says: the flag stays.
    EXPECT_NE(directory->entries[0].flags & 0x0008, 0);
    ExpectReadersAccept(repair.Output(), *directory, "pw");

    const Repair refused(zip.bytes, QuickRepair, std::string("not the password"));
    ASSERT_TRUE(refused.result.written) << refused.result.problem;
    EXPECT_EQ(refused.observer.entries[1].action, RepairAction::LeftOut);
    EXPECT_EQ(refused.observer.entries[1].note.rfind("wrong password", 0), 0u) << refused.observer.entries[1].note;
    EXPECT_EQ(refused.result.entries, 1u);
}

// Office documents: the stored "mimetype" first, parts deflated; one part
// corrupt, the end cut off. Every intact part comes back verbatim, the
// order kept; with partial entries left out, the damaged part is missing.
TEST(RepairDocuments, OfficeStyleArchivesKeepEveryIntactPartInOrder) {
    const std::vector<EntryToWrite> odt = {Stored("mimetype", "application/vnd.oasis.opendocument.text"),
                                           Deflated("META-INF/manifest.xml", TextContent("<manifest:manifest/>", 900)),
                                           Deflated("content.xml", TextContent("<office:document-content>", 40000)),
                                           Deflated("styles.xml", TextContent("<office:document-styles>", 20000)),
                                           Deflated("meta.xml", TextContent("<office:document-meta>", 700)),
                                           Deflated("settings.xml", TextContent("<office:document-settings>", 3000))};
    const std::vector<EntryToWrite> docx = {Deflated("[Content_Types].xml", TextContent("<Types>", 1200)),
                                            Deflated("_rels/.rels", TextContent("<Relationships>", 600)),
                                            Deflated("word/document.xml", TextContent("<w:document>", 50000)),
                                            Deflated("word/styles.xml", TextContent("<w:styles>", 25000)),
                                            Deflated("docProps/core.xml", TextContent("<cp:coreProperties>", 800))};
    for (const auto& [label, parts] : {std::pair{"odt", odt}, std::pair{"docx", docx}}) {
        SCOPED_TRACE(label);
        BuiltZip zip = BuildZip(parts);
        const EntryLayout& damaged = zip.entries[2];
        FillRange(zip.bytes, damaged.dataStart + (damaged.dataEnd - damaged.dataStart) / 2, 64, 0xA5);
        TruncateAt(zip.bytes, zip.entries.back().dataStart + 9);

        const Repair repair(zip.bytes, QuickRepair, std::nullopt);
        ASSERT_TRUE(repair.result.written) << repair.result.problem;
        const std::optional<Directory> directory = ReadDirectory(repair.bytes);
        ASSERT_TRUE(directory.has_value());
        ExpectReadersAccept(repair.Output(), *directory, "none");
        std::vector<std::string> names;
        for (const DirectoryEntry& e : directory->entries) names.push_back(e.name);
        // The last part, cut nine bytes into its data, has nothing to salvage.
        std::vector<std::string> expected;
        for (const EntryToWrite& part : parts) expected.push_back(part.name);
        expected.pop_back();
        EXPECT_EQ(names, expected);
        for (std::size_t i : {std::size_t{0}, std::size_t{1}, std::size_t{3}})
            EXPECT_EQ(repair.observer.entries[i].action, RepairAction::Copied) << parts[i].name;
        EXPECT_EQ(repair.observer.entries[2].action, RepairAction::Partial);
        if (std::string(label) == "odt") {
            // A reader finds the type at a fixed place: the first entry, stored, named at 30.
            const std::string mimetype = "mimetypeapplication/vnd.oasis.opendocument.text";
            EXPECT_EQ(directory->entries[0].method, 0);
            EXPECT_EQ(ToString(Bytes(repair.bytes.begin() + 30, repair.bytes.begin() + 30 + mimetype.size())),
                      mimetype);
        }

        const Repair strict(zip.bytes, QuickRepair, std::nullopt, PartialEntries::Omit);
        ASSERT_TRUE(strict.result.written);
        const std::optional<Directory> kept = ReadDirectory(strict.bytes);
        ASSERT_TRUE(kept.has_value());
        EXPECT_EQ(kept->entries.size(), parts.size() - 2);  // the corrupt part and the cut one
        EXPECT_EQ(strict.observer.entries[2].action, RepairAction::LeftOut);
    }
}

// Names: a UTF-8 name keeps its flag, a code page 437 name is written as
// UTF-8 with the flag, a name climbing out of its folder is cut back; the
// archive's comment is kept, up to an end-record signature in it, which a
// reader searching back from the end would take for the record.
TEST(RepairNames, NamesAndTheArchiveCommentSurvive) {
    std::vector<EntryToWrite> inputs = {Deflated("Gr\xC3\xBC\xC3\x9F"
                                                 "e.txt",
                                                 "utf-8"),
                                        Deflated("caf\x82.txt", "code page 437"), Deflated("../../up.txt", "up"),
                                        Stored("folder/", "")};
    inputs[0].utf8Flag = true;
    BuiltZip zip = BuildZip(inputs);
    const std::string comment = std::string("made for a test PK\x05\x06") + std::string(18, 'x');
    zip.bytes[zip.endRecord + 20] = static_cast<std::uint8_t>(comment.size());
    zip.bytes.insert(zip.bytes.end(), comment.begin(), comment.end());

    const Repair repair(zip.bytes, QuickRepair, std::nullopt);
    ASSERT_TRUE(repair.result.written) << repair.result.problem;
    const std::optional<Directory> directory = ReadDirectory(repair.bytes);
    ASSERT_TRUE(directory && directory->entries.size() == 4);
    EXPECT_EQ(directory->comment, "made for a test ");
    EXPECT_EQ(directory->entries[0].name,
              "Gr\xC3\xBC\xC3\x9F"
              "e.txt");
    EXPECT_EQ(directory->entries[1].name, "caf\xC3\xA9.txt");
    EXPECT_EQ(directory->entries[2].name, "up.txt");
    EXPECT_EQ(directory->entries[3].name, "folder/");
    for (std::size_t i : {0, 1}) EXPECT_NE(directory->entries[i].flags & 0x0800, 0);
    EXPECT_EQ(directory->entries[2].flags & 0x0800, 0);
    ExpectReadersAccept(repair.Output(), *directory, "none");
}

// ZIP64 records only where a value needs them: an entry past 4 GiB gets
// its sizes in ZIP64 fields, more than 65 534 entries a ZIP64 end record.
TEST(RepairZip64, WrittenOnlyWhereAValueNeedsIt) {
    TempFolder folder;
    {
        CFile file;
        ASSERT_TRUE(file.Open(folder / "big.zip", CFile::Mode::CreateWrite));
        ArchiveWriter writer(file);
        NewEntry small;
        small.name = "small.txt";
        writer.BeginEntry(small);
        writer.WriteData("abc", 3);
        writer.EndEntry(0x352441C2, 3);
        NewEntry huge;
        huge.name = "huge.bin";
        huge.uncompressedSize = std::uint64_t{5} << 30;
        huge.compressedSize = 4;
        writer.BeginEntry(huge);
        writer.WriteData("data", 4);
        writer.EndEntry(1234, 4);
        writer.Finish("");
    }
    const std::optional<Directory> big = ReadDirectory(ReadFileBytes(folder / "big.zip"));
    ASSERT_TRUE(big && big->entries.size() == 2);
    EXPECT_FALSE(big->zip64End);
    EXPECT_TRUE(big->entries[0].extra.empty());
    EXPECT_TRUE(big->entries[0].localExtra.empty());
    EXPECT_EQ(big->entries[1].uncompressedSize, std::uint64_t{5} << 30);
    EXPECT_EQ(big->entries[1].compressedSize, 4u);
    EXPECT_FALSE(big->entries[1].extra.empty());
    EXPECT_EQ(big->entries[1].localExtra.size(), 20u);
    EXPECT_GE(big->entries[1].versionNeeded, 45);

    {
        CFile file;
        ASSERT_TRUE(file.Open(folder / "many.zip", CFile::Mode::CreateWrite));
        ArchiveWriter writer(file);
        for (int i = 0; i < 70000; ++i) {
            NewEntry entry;
            entry.name = std::to_string(i);
            writer.BeginEntry(entry);
            writer.EndEntry(0, 0);
        }
        writer.Finish("many");
    }
    const std::optional<Directory> many = ReadDirectory(ReadFileBytes(folder / "many.zip"));
    ASSERT_TRUE(many.has_value());
    EXPECT_TRUE(many->zip64End);
    EXPECT_EQ(many->entries.size(), 70000u);
    EXPECT_EQ(many->comment, "many");
    ExpectReadersAccept(folder / "many.zip", *many, "none");
}

// The output is never the archive itself, never replaces a file unless
// asked, and a stop leaves nothing: no archive, no scratch file.
TEST(RepairOutput, RefusesTheArchiveItselfAndReplacesOnlyWhenAsked) {
    const Bytes archive = BuildZip({Deflated("a.txt", TextContent("a", 5000))}).bytes;
    TempFolder folder;
    WriteFileBytes(folder / "a.zip", archive);
    fs::create_directory(folder / "sub");
    EXPECT_TRUE(RepairRefusal(folder / "a.zip", folder / "sub" / ".." / "a.zip", true).has_value());
    std::error_code linked;
    fs::create_hard_link(folder / "a.zip", folder / "link.zip", linked);
    if (!linked) {
        EXPECT_TRUE(RepairRefusal(folder / "a.zip", folder / "link.zip", true).has_value());
    }
    EXPECT_TRUE(RepairRefusal(folder / "a.zip", folder / "sub", true).has_value());

    WriteFileBytes(folder / "out.zip", ToBytes("keep me"));
    CZipArchive zip;
    zip.OpenArchive(folder / "a.zip", QuickRepair);
    RecordingObserver observer;
    RepairOptions options;
    RepairResult refused = RepairArchive(zip, folder / "out.zip", options, observer);
    EXPECT_FALSE(refused.written);
    EXPECT_NE(refused.problem.find("exists"), std::string::npos) << refused.problem;
    EXPECT_EQ(ToString(ReadFileBytes(folder / "out.zip")), "keep me");

    options.replace = true;
    RepairResult replaced = RepairArchive(zip, folder / "out.zip", options, observer);
    EXPECT_TRUE(replaced.written) << replaced.problem;
    EXPECT_EQ(replaced.length, fs::file_size(folder / "out.zip"));
    zip.CloseArchive(false);

    const Repair stopped(archive, QuickRepair, std::nullopt, PartialEntries::Write, 0u);
    EXPECT_TRUE(stopped.result.stopped);
    EXPECT_FALSE(stopped.result.written);
    EXPECT_EQ(ListFilesBelow(stopped.folder.Path()), std::vector<std::string>{"damaged.zip"});
}

}  // namespace
}  // namespace tessaly::archivetest
