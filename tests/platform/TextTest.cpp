#include "platform/Cp1250.h"
#include "platform/TextMode.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tarvel {
namespace {

TEST(Cp1250, SlovakTextRoundTrips) {
    const std::string utf8 = "Žltý kôň úpel ďábelské ódy: ČŠŤŇĽ áäéíóôúýčšťňľŕĺ €";
    std::string bytes;
    ASSERT_TRUE(Utf8ToCp1250(utf8, bytes));
    EXPECT_EQ(bytes.substr(0, 5), "\x8Elt\xFD ");
    EXPECT_EQ(Cp1250ToUtf8(bytes), utf8);
}

TEST(Cp1250, EveryByteRoundTrips) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) {
        all += static_cast<char>(byte);
    }
    std::string back;
    ASSERT_TRUE(Utf8ToCp1250(Cp1250ToUtf8(all), back));
    EXPECT_EQ(back, all);
}

TEST(Cp1250, RefusesWhatHasNoForm) {
    std::string out = "kept";
    EXPECT_FALSE(Utf8ToCp1250("日本", out));
    EXPECT_FALSE(Utf8ToCp1250("±Ã", out));       // ± has a form, Ã does not
    EXPECT_FALSE(Utf8ToCp1250("\xC3", out));     // truncated
    EXPECT_FALSE(Utf8ToCp1250("\xC0\xAF", out)); // overlong "/"
    EXPECT_FALSE(Utf8ToCp1250("\xFF", out));
    EXPECT_EQ(out, "kept");
}

TEST(Cp1250, UpperCaseOfLettersOnly) {
    EXPECT_EQ(UpperCp1250('a'), 'A');
    EXPECT_EQ(UpperCp1250(0xE1), 0xC1); // á
    EXPECT_EQ(UpperCp1250(0x9E), 0x8E); // ž
    EXPECT_EQ(UpperCp1250(0xBE), 0xBC); // ľ
    EXPECT_EQ(UpperCp1250(0xF7), 0xF7); // ÷
    EXPECT_EQ(UpperCp1250(0xDF), 0xDF); // ß
    EXPECT_EQ(UpperCp1250('1'), '1');
    EXPECT_TRUE(EqualsIgnoringCase("\xC8\xED"
                                   "slo",
                                   "\xE8\xCDSLO"));
    EXPECT_FALSE(EqualsIgnoringCase("ab", "abc"));
}

TEST(TextMode, ConvertsOnlyPairs) {
    EXPECT_EQ(FromWindowsText("a\r\nb\rc\n\r\r\n"), "a\nb\rc\n\r\n");
    EXPECT_EQ(ToWindowsText("a\nb\r\n"), "a\r\nb\r\r\n");
    testing::TempDir dir;
    ASSERT_TRUE(WriteTextModeFile(dir / "t", "x\ny\n"));
    EXPECT_EQ(testing::ReadBytes(dir / "t"), "x\r\ny\r\n");
    std::string text;
    ASSERT_TRUE(ReadTextModeFile(dir / "t", text));
    EXPECT_EQ(text, "x\ny\n");
}

} // namespace
} // namespace tarvel
