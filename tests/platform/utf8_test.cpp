// The one judge of well-formed UTF-8: every boundary of the encoding, and
// each way a sequence can be malformed.
#include <gtest/gtest.h>

#include <string>

#include "platform/Utf8.h"

namespace tessaly {
namespace {

TEST(Utf8, WellFormedSequencesAtEveryBoundaryPass) {
    for (const std::string text : {"", "plain", "\x7F", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF",
                                   "\xEE\x80\x80", "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF",
                                   "Gr\xC3\xBC\xC3\x9F"
                                   "e \xE2\x82\xAC \xF0\x9F\x98\x80"}) {
        EXPECT_TRUE(IsValidUtf8(text)) << text;
    }
    EXPECT_EQ(Utf8SequenceLength("a\xE2\x82\xAC", 1), 3u);
    EXPECT_EQ(Utf8SequenceLength("a", 0), 1u);
}

TEST(Utf8, MalformedSequencesFail) {
    const std::string malformed[] = {
        "\x80",              // a continuation byte alone
        "\xC0\xAF",          // overlong "/"
        "\xC1\xBF",          // overlong
        "\xE0\x9F\xBF",      // overlong three-byte form
        "\xED\xA0\x80",      // a surrogate
        "\xF0\x8F\xBF\xBF",  // overlong four-byte form
        "\xF4\x90\x80\x80",  // past U+10FFFF
        "\xF5\x80\x80\x80",  // no such lead byte
        "\xFF",              //
        "\xE2\x82",          // cut short
        "\xE2\x28\xA1",      // a continuation replaced
    };
    for (const std::string& text : malformed) {
        EXPECT_FALSE(IsValidUtf8(text)) << testing::PrintToString(text);
        EXPECT_FALSE(IsValidUtf8("ok" + text + "ok")) << testing::PrintToString(text);
        EXPECT_EQ(Utf8SequenceLength(text, 0), 0u) << testing::PrintToString(text);
    }
}

}  // namespace
}  // namespace tessaly
