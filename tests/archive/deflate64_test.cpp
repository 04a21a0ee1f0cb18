// The Deflate64 decoder on hand-built streams (the 64 KiB window, long
// lengths, stored blocks, damage), on zlib's Deflate streams that mean the
// same in both formats, and on archives written by 7zz when it is installed.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>

#include "archive/methods/Deflate64Decompressor.h"
#include "tests/support/Deflate64Writer.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipWriter.h"

namespace tessaly {
namespace {

using testzip::Bytes;
using testzip::Deflate64Writer;
using Status = Decompressor::Status;

struct Decoded {
    Bytes out;
    Status status = Status::Running;
    std::size_t consumed = 0;
};

// Feeds `stream` in pieces of `inPiece` bytes (more when the decoder takes
// none) and takes output `outPiece` bytes at a time; drains at the end of
// the input. Fails the test rather than loop when the decoder stops moving.
Decoded DecodeAll(const Bytes& stream, std::size_t inPiece = 1 << 20, std::size_t outPiece = 1 << 20,
                  std::size_t outCap = 64 << 20) {
    Deflate64Decompressor decoder;
    Decoded result;
    Bytes buffer(outPiece);
    std::size_t offered = std::min(stream.size(), inPiece);
    std::size_t stalls = 0;
    while (result.out.size() < outCap) {
        const auto step =
            decoder.Decode(stream.data() + result.consumed, offered - result.consumed, buffer.data(), buffer.size());
        result.out.insert(result.out.end(), buffer.begin(),
                          buffer.begin() + static_cast<std::ptrdiff_t>(step.produced));
        result.consumed += step.consumed;
        result.status = step.status;
        if (step.status != Status::Running) return result;
        if (step.consumed == 0 && step.produced == 0) {
            if (offered == stream.size()) break;
            if (++stalls > 64) {
                ADD_FAILURE() << "decoder takes no input at " << result.consumed;
                return result;
            }
        } else {
            stalls = 0;
        }
        if (result.consumed == offered || step.consumed == 0) offered = std::min(stream.size(), offered + inPiece);
    }
    for (std::size_t n; result.out.size() < outCap && (n = decoder.DrainAtEnd(buffer.data(), buffer.size())) > 0;)
        result.out.insert(result.out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
    return result;
}

// Writes symbols and keeps the bytes they stand for.
struct Script {
    Deflate64Writer writer;
    Bytes expected;

    void Literals(const Bytes& bytes) {
        for (std::uint8_t b : bytes) writer.Literal(b);
        expected.insert(expected.end(), bytes.begin(), bytes.end());
    }
    void Match(std::uint32_t length, std::uint32_t distance) {
        writer.Match(length, distance);
        for (std::uint32_t i = 0; i < length; ++i) expected.push_back(expected[expected.size() - distance]);
    }
    void Stored(const Bytes& bytes, bool final = false) {
        writer.StoredBlock(bytes, final);
        expected.insert(expected.end(), bytes.begin(), bytes.end());
    }
};

// Stored blocks, distances across the whole 64 KiB window (symbols 29 to
// 31), lengths from symbol 285's 16 extra bits, overlapping copies.
Script WindowScript() {
    Script s;
    s.Stored(testzip::NoiseContent(1, 65535));
    s.Stored({});
    s.writer.FixedBlock(false);
    s.Literals(testzip::ToBytes("edge"));
    s.Match(65538, 65536);
    s.Match(300, 32768);
    s.Match(3, 32769);
    s.Match(259, 49152);
    s.Match(40000, 49153);
    s.Match(258, 65536);
    s.Match(65535, 1);
    s.Match(1000, 7);
    s.writer.EndOfBlock();
    s.writer.FixedBlock(true);
    s.Match(12345, 65521);
    s.writer.EndOfBlock();
    return s;
}

TEST(Deflate64, WindowLengthsAndStoredBlocksDecodeInAnyPieces) {
    const Script script = WindowScript();
    Deflate64Writer copy = script.writer;
    const Bytes stream = copy.Finish();
    Bytes withTail = stream;
    withTail.insert(withTail.end(), {'P', 'K', 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});

    struct Pieces {
        std::size_t in, out;
    };
    for (const Pieces p :
         {Pieces{1 << 20, 1 << 20}, Pieces{1, 1}, Pieces{31, 7}, Pieces{4096, 65536}, Pieces{17, 1 << 20}}) {
        SCOPED_TRACE("pieces " + std::to_string(p.in) + "/" + std::to_string(p.out));
        const Decoded d = DecodeAll(withTail, p.in, p.out);
        EXPECT_EQ(d.status, Status::StreamEnd);
        EXPECT_EQ(d.consumed, stream.size());  // nothing after the final block is taken
        EXPECT_TRUE(d.out == script.expected) << d.out.size() << " of " << script.expected.size();
    }
}

TEST(Deflate64, GreedyEncoderRoundTripsMixedData) {
    Bytes data = testzip::TextContent("mixed", 200000);
    const Bytes noise = testzip::NoiseContent(7, 50000);
    data.insert(data.end(), noise.begin(), noise.end());
    data.insert(data.end(), 300000, 0);
    data.insert(data.end(), noise.begin(), noise.end());  // 50000 + 300000 back: beyond the window
    data.insert(data.end(), noise.begin(), noise.begin() + 20000);
    const Bytes stream = testzip::CompressDeflate64(data, {false, 5000});
    EXPECT_TRUE(DecodeAll(stream).out == data);
    // Output room for exactly the data: the end comes with the last byte.
    Deflate64Decompressor decoder;
    Bytes exact(data.size());
    const auto step = decoder.Decode(stream.data(), stream.size(), exact.data(), exact.size());
    EXPECT_EQ(step.status, Status::StreamEnd);
    EXPECT_EQ(step.consumed, stream.size());
    EXPECT_TRUE(exact == data);
    const Decoded odd = DecodeAll(stream, 31, 4093);
    EXPECT_EQ(odd.status, Status::StreamEnd);
    EXPECT_TRUE(odd.out == data);
}

// Every byte before a cut comes out, nothing else, and a cut is never
// called an error or an end.
TEST(Deflate64, CutStreamsGiveAPrefixOfTheData) {
    Script s;
    s.Stored(testzip::ToBytes("stored bytes first"));
    s.writer.FixedBlock(true);
    s.Literals(testzip::TextContent("cut", 300));
    s.Match(5000, 280);
    s.Literals(testzip::ToBytes("tail"));
    s.Match(70, 2);
    s.writer.EndOfBlock();
    const Bytes stream = s.writer.Finish();
    std::size_t previous = 0;
    for (std::size_t cut = 0; cut < stream.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const Bytes part(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
        const Decoded d = DecodeAll(part, cut % 2 ? 1 : 64, cut % 3 ? 13 : 1 << 16);
        ASSERT_EQ(d.status, Status::Running);
        ASSERT_LE(d.out.size(), s.expected.size());
        ASSERT_TRUE(std::equal(d.out.begin(), d.out.end(), s.expected.begin()));
        ASSERT_GE(d.out.size(), previous);
        previous = d.out.size();
    }
}

TEST(Deflate64, CutGivesEveryCompleteCodeAndAReadMatch) {
    // A fixed block of 8-bit literals after a 3-bit header: a cut after k
    // bytes holds exactly k - 1 complete literals.
    Script literals;
    literals.writer.FixedBlock(true);
    literals.Literals(testzip::TextContent("literal", 100));
    const Bytes stream = literals.writer.Finish();
    for (std::size_t cut = 1; cut < 100; ++cut)
        EXPECT_EQ(DecodeAll(Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut))).out.size(),
                  cut - 1);

    // A long match whose length and distance arrived is given whole by the
    // drain, even in small pieces.
    Script match;
    match.writer.FixedBlock(true);
    match.Literals(testzip::ToBytes("abc"));
    match.Match(60000, 3);
    const Decoded d = DecodeAll(match.writer.Finish(), 1, 100);
    EXPECT_NE(d.status, Status::DataError);
    EXPECT_TRUE(d.out == match.expected);
}

// A match cut inside its distance gives what every distance the bits still
// allow would copy: all of it over a run of zeros, next to nothing over noise.
TEST(Deflate64, CutDistanceGivesWhatEveryDistanceAgreesOn) {
    for (const bool zeros : {true, false}) {
        SCOPED_TRACE(zeros ? "zeros" : "noise");
        Script s;
        s.writer.FixedBlock(true);
        s.Literals(zeros ? Bytes(2000, 0) : testzip::NoiseContent(5, 2000));
        const std::size_t lengthEnd = s.writer.BitCount() + 8 + 16;  // symbol 285 and its extra bits
        s.Match(500, 1000);
        const Bytes stream = s.writer.Finish();
        const Bytes cut(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(lengthEnd / 8 + 1));
        const Decoded d = DecodeAll(cut, 7, 64);
        EXPECT_EQ(d.status, Status::Running);
        ASSERT_TRUE(std::equal(d.out.begin(), d.out.end(), s.expected.begin()));
        if (zeros)
            EXPECT_EQ(d.out.size(), 2500u);
        else
            EXPECT_LT(d.out.size(), 2010u);
    }
}

TEST(Deflate64, InvalidDataStopsAfterTheBytesBeforeIt) {
    const auto goodStart = [](Deflate64Writer& w) {
        w.FixedBlock(false);
        for (char c : std::string("good")) w.Literal(static_cast<std::uint8_t>(c));
    };
    struct Case {
        const char* name;
        void (*damage)(Deflate64Writer&);
    };
    const Case cases[] = {
        {"block type 3", [](Deflate64Writer& w) { w.EndOfBlock(), w.Bits(7, 3); }},
        {"stored length and complement disagree",
         [](Deflate64Writer& w) { w.EndOfBlock(), w.Bits(1, 3), w.Bits(0, 5), w.Bits(5, 16), w.Bits(5, 16); }},
        {"distance before the start", [](Deflate64Writer& w) { w.Match(3, 5); }},
        {"literal/length symbol 286", [](Deflate64Writer& w) { w.FixedSymbol(286); }},
        {"over-subscribed code-length code",
         [](Deflate64Writer& w) {
             w.EndOfBlock(), w.Bits(5, 3), w.Bits(0, 5), w.Bits(0, 5), w.Bits(15, 4);
             for (int i = 0; i < 19; ++i) w.Bits(1, 3);
         }},
        {"incomplete code-length code",
         [](Deflate64Writer& w) {
             w.EndOfBlock(), w.Bits(5, 3), w.Bits(0, 5), w.Bits(0, 5), w.Bits(0, 4);
             w.Bits(2, 3), w.Bits(2, 3), w.Bits(0, 3), w.Bits(0, 3);
         }},
        {"length repeat with nothing before",
         [](Deflate64Writer& w) {
             // Code-length code: symbols 16 and 17 of one bit each; 16 comes first.
             w.EndOfBlock(), w.Bits(5, 3), w.Bits(0, 5), w.Bits(0, 5), w.Bits(0, 4);
             w.Bits(1, 3), w.Bits(1, 3), w.Bits(0, 3), w.Bits(0, 3), w.Bits(0, 1), w.Bits(0, 2);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Deflate64Writer w;
        goodStart(w);
        c.damage(w);
        w.Bits(0, 32);
        const Bytes stream = w.Finish();
        for (std::size_t piece : {std::size_t{1}, std::size_t{1} << 20}) {
            const Decoded d = DecodeAll(stream, piece, piece);
            EXPECT_EQ(d.status, Status::DataError);
            EXPECT_EQ(testzip::ToString(d.out), "good");
        }
    }
}

// Random input never crashes, hangs or overruns, and gives the same bytes
// and verdict whatever the piece sizes.
TEST(Deflate64, RandomBytesAreHandledTheSameInAnyPieces) {
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        Bytes stream(1 + random() % 600);
        for (auto& b : stream) b = static_cast<std::uint8_t>(random());
        // Most random streams fail in the first block; a fixed or stored
        // header in front lets the rest reach the symbol decoding.
        if (round % 3 == 1) stream[0] = static_cast<std::uint8_t>((stream[0] & ~6) | 2);
        if (round % 3 == 2) stream[0] = static_cast<std::uint8_t>((stream[0] & ~6) | 4);
        const Decoded whole = DecodeAll(stream, 1 << 20, 1 << 20, 8 << 20);
        if (round % 10 != 0 || whole.out.size() >= (8 << 20)) continue;
        const Decoded pieces = DecodeAll(stream, 1 + round % 5, 1 + round % 7, 8 << 20);
        ASSERT_EQ(pieces.status, whole.status) << "round " << round;
        ASSERT_TRUE(pieces.out == whole.out) << "round " << round;
        if (whole.status == Status::StreamEnd) {
            ASSERT_EQ(pieces.consumed, whole.consumed);
        }
    }
}

// Words from a small vocabulary: no 258-byte repeat, the one length whose
// symbol means something else in Deflate64.
Bytes WordText(std::size_t size) {
    static const char* const kWords[] = {"the",     "window", "holds", "sixty-four", "kibibytes", "of",
                                         "history", "and",    "a",     "match",      "may",       "copy",
                                         "long",    "runs",   "from",  "far",        "back"};
    std::mt19937 random(99);
    std::string text;
    while (text.size() < size) {
        text += kWords[random() % (sizeof kWords / sizeof *kWords)];
        text += random() % 9 == 0 ? ".\n" : " ";
    }
    text.resize(size);
    return testzip::ToBytes(text);
}

TEST(Deflate64, ZlibStreamsWithoutLength258DecodeAlike) {
    const Bytes data = WordText(400000);
    for (int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_FIXED}) {
        for (int level : {1, 6, 9}) {
            SCOPED_TRACE("strategy " + std::to_string(strategy) + " level " + std::to_string(level));
            z_stream z{};
            ASSERT_EQ(deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, strategy), Z_OK);
            Bytes stream(deflateBound(&z, data.size()));
            z.next_in = const_cast<Bytef*>(data.data());
            z.avail_in = static_cast<uInt>(data.size());
            z.next_out = stream.data();
            z.avail_out = static_cast<uInt>(stream.size());
            ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
            stream.resize(z.total_out);
            deflateEnd(&z);
            const Decoded d = DecodeAll(stream, level == 6 ? 3 : 1 << 20, level == 6 ? 1000 : 1 << 20);
            EXPECT_EQ(d.status, Status::StreamEnd);
            EXPECT_EQ(d.consumed, stream.size());
            EXPECT_TRUE(d.out == data);
        }
    }
}

// The raw stream of the first entry of a ZIP file written by another tool.
Bytes FirstEntryStream(const Bytes& zip, std::uint16_t& method) {
    const auto u16 = [&](std::size_t at) { return static_cast<std::uint16_t>(zip.at(at) | zip.at(at + 1) << 8); };
    const auto u32 = [&](std::size_t at) { return std::uint32_t{u16(at)} | std::uint32_t{u16(at + 2)} << 16; };
    if (zip.size() < 30 || u32(0) != 0x04034b50) return {};
    method = u16(8);
    const std::size_t start = 30 + std::size_t{u16(26)} + u16(28);
    const std::uint32_t size = u32(18);
    const std::size_t end = size == 0 || size == 0xFFFFFFFF ? zip.size() : std::min(zip.size(), start + size);
    return Bytes(zip.begin() + static_cast<std::ptrdiff_t>(start), zip.begin() + static_cast<std::ptrdiff_t>(end));
}

TEST(Deflate64, ArchivesWrittenBy7zzDecode) {
    if (std::system("7zz i > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "7zz is not installed (Debian package 7zip)";
    }
    Bytes data = WordText(300000);
    const Bytes noise = testzip::NoiseContent(3, 60000);
    data.insert(data.end(), noise.begin(), noise.end());
    data.insert(data.end(), 200000, 'z');
    data.insert(data.end(), noise.begin(), noise.end());
    const Bytes text = testzip::TextContent("seven", 150000);
    data.insert(data.end(), text.begin(), text.end());

    testzip::TempFolder folder("tessaly-d64");
    testzip::WriteFileBytes(folder / "data.bin", data);
    const std::string command =
        "cd '" + folder.Path().string() + "' && 7zz a -tzip -mm=Deflate64 -mx=9 made.zip data.bin > /dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::uint16_t method = 0;
    const Bytes stream = FirstEntryStream(testzip::ReadFileBytes(folder / "made.zip"), method);
    ASSERT_EQ(method, 9);
    for (std::size_t piece : {std::size_t{1} << 20, std::size_t{31}}) {
        const Decoded d = DecodeAll(stream, piece, piece);
        EXPECT_EQ(d.status, Status::StreamEnd);
        EXPECT_EQ(d.consumed, stream.size());
        EXPECT_TRUE(d.out == data);
    }
    const Bytes damaged = [&] {
        Bytes b = stream;
        for (std::size_t i = b.size() / 2; i < b.size() / 2 + 16; ++i) b[i] ^= 0x5A;
        return b;
    }();
    // Damage in a Huffman stream may go unseen for a while (the entry's
    // CRC-32 tells); what came before it must be intact.
    const Decoded d = DecodeAll(damaged);
    EXPECT_FALSE(d.status == Status::StreamEnd && d.out == data);
    EXPECT_GT(d.out.size(), data.size() / 4);
    EXPECT_TRUE(std::equal(d.out.begin(), d.out.begin() + static_cast<std::ptrdiff_t>(data.size() / 4), data.begin()));
}

}  // namespace
}  // namespace tessaly
