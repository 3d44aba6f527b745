#include "platform/Profile.h"
#include "platform/Cp1250.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace tarvel {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

std::optional<std::string> Get(std::string bytes, std::string_view section, std::string_view key) {
    return ProfileDocument(std::move(bytes)).Get(section, key);
}

std::string AfterSet(std::string bytes, std::string_view section, std::string_view key,
                     std::string_view value) {
    ProfileDocument document(std::move(bytes));
    EXPECT_TRUE(document.Set(section, key, value));
    return document.Bytes();
}

TEST(ProfileRead, SectionsAndKeysIgnoreLetterCaseAndBlanks) {
    const std::string file = "[Dbase]\r\n  DbPath =  /home/x/db  \r\n[Z1]\r\nmod=a\r\n";
    EXPECT_EQ(Get(file, "dbase", "dbpath"), "/home/x/db");
    EXPECT_EQ(Get(file, "DBASE", " dbpath "), "/home/x/db");
    EXPECT_EQ(Get(file, "z1", "MOD"), "a");
    EXPECT_EQ(Get(file, "z1", "dbpath"), std::nullopt);
    EXPECT_EQ(Get(file, "z2", "mod"), std::nullopt);
}

TEST(ProfileRead, Windows1250LettersCompareWithoutCase) {
    // "Á" (0xC1) and "á" (0xE1), "Š" (0x8A) and "š" (0x9A)
    const std::string file = "[_1]\r\n\xC1=\r\n\x8A\x9A=x\r\n";
    EXPECT_EQ(Get(file, "_1", "\xE1"), "");
    EXPECT_EQ(Get(file, "_1", "\x9A\x8A"), "x");
    // The multiplication and division signs are not letters.
    EXPECT_EQ(Get("[s]\r\n\xD7=1\r\n", "s", "\xF7"), std::nullopt);
}

TEST(ProfileRead, SectionLineRules) {
    EXPECT_EQ(Get("  [ name ] trailing text\r\nk=v\r\n", "name", "k"), "v");
    EXPECT_EQ(Get("[a]b]\r\nk=v\r\n", "a", "k"), "v");
    // Entries before the first section belong to none.
    EXPECT_EQ(Get("k=v\r\n[s]\r\n", "s", "k"), std::nullopt);
}

TEST(ProfileRead, QuotesAreRemovedInPairsOnly) {
    const std::string file = "[s]\r\na=\"x y\"\r\nb='z'\r\nc=\"\r\nd=\"x'\r\ne=\"\"\r\nf= ' q ' \r\n";
    EXPECT_EQ(Get(file, "s", "a"), "x y");
    EXPECT_EQ(Get(file, "s", "b"), "z");
    EXPECT_EQ(Get(file, "s", "c"), "\"");
    EXPECT_EQ(Get(file, "s", "d"), "\"x'");
    EXPECT_EQ(Get(file, "s", "e"), "");
    EXPECT_EQ(Get(file, "s", "f"), " q ");
}

TEST(ProfileRead, LinesWithoutEqualsAreNotEntriesAndThereAreNoComments) {
    const std::string file = "[s]\r\njust text\r\n;x=1\r\n\r\nk=v=w\r\n";
    EXPECT_EQ(Get(file, "s", "just text"), std::nullopt);
    EXPECT_EQ(Get(file, "s", ";x"), "1");
    EXPECT_EQ(Get(file, "s", "k"), "v=w");
    EXPECT_EQ(ProfileDocument(file).Keys("s"), (std::vector<std::string>{";x", "k"}));
}

TEST(ProfileRead, DuplicatesReadTheFirstAndListOnce) {
    const std::string file = "[s]\r\nk=1\r\nk=2\r\n[t]\r\n[S]\r\nk=3\r\nm=4\r\n";
    ProfileDocument document(file);
    EXPECT_EQ(document.Get("s", "k"), "1");
    EXPECT_EQ(document.Get("s", "m"), std::nullopt);
    EXPECT_EQ(document.SectionNames(), (std::vector<std::string>{"s", "t"}));
    EXPECT_EQ(document.Keys("s"), (std::vector<std::string>{"k"}));
}

TEST(ProfileRead, LfOnlyAndMissingFinalLineEnd) {
    EXPECT_EQ(Get("[s]\nk=v\n", "s", "k"), "v");
    EXPECT_EQ(Get("[s]\r\nk=v", "s", "k"), "v");
    EXPECT_EQ(Get("[s]\r\nk=v\r", "s", "k"), "v");
}

TEST(ProfileRead, OneSectionReadsAsTheWholeDocumentReadsIt) {
    const std::string files[] = {
        "intro=1\r\n[s]\r\n k = v \r\nk=second\r\n;c='q'\r\n[t]\r\nk=t\r\n[S]\r\nlate=1\r\n",
        "[s]\nk=lf only\nx\n[t]\nk=2",
        "[t]\r\nk=1\r\n[s]\r\nk=last section without line end\r",
        "[\xC1]\r\n\xE1=\"quoted\"\r\n",
        "",
    };
    for (const auto& file : files) {
        const ProfileDocument document(file);
        for (const char* section : {"s", "S", "t", "\xE1", "missing"}) {
            const ProfileSection one(file, section);
            const auto names = document.SectionNames();
            EXPECT_EQ(one.Found(),
                      std::any_of(names.begin(), names.end(),
                                  [&](const std::string& name) { return EqualsIgnoringCase(name, section); }))
                << file << " [" << section << "]";
            EXPECT_EQ(one.Keys(), document.Keys(section)) << file << " [" << section << "]";
            for (const char* key : {"k", "K", ";c", "late", "\xC1", "intro", "x"}) {
                EXPECT_EQ(one.Get(key), document.Get(section, key)) << file << " [" << section << "] " << key;
            }
        }
    }
}

TEST(ProfileRead, VerticalTabIsABlank) {
    const struct {
        const char* name;
        std::string file;
        std::string section, key;
        std::optional<std::string> value;
    } cases[] = {
        {"around the key", "[s]\r\n\vk\v=1\r\n", "s", "k", "1"},
        {"around the value", "[s]\r\nk=\v1\v\r\n", "s", "k", "1"},
        {"around a quoted value", "[s]\r\nk=\v'1 '\v\r\n", "s", "k", "1 "},
        {"before the section line", "\v[s]\r\nk=1\r\n", "s", "k", "1"},
        {"around the section name", "[\vs\v]\r\nk=1\r\n", "s", "k", "1"},
        {"around the key looked up", "[s]\r\nk=1\r\n", "\vs\v", "\vk\v", "1"},
        {"inside a key", "[s]\r\na\vb=1\r\n", "s", "ab", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Get(c.file, c.section, c.key), c.value) << c.name;
        EXPECT_EQ(ProfileSection(c.file, c.section).Get(c.key), c.value) << c.name;
    }
    EXPECT_EQ(ProfileDocument("[s]\r\n\vk\v=1\r\n").Keys("s"), std::vector<std::string>{"k"});
    EXPECT_EQ(AfterSet("[s]\r\n", "s", "\vk\v", "1"), "[s]\r\nk=1\r\n");
    EXPECT_EQ(AfterSet("[s]\r\n\vk\v=1\r\n", "s", "k", "2"), "[s]\r\nk=2\r\n");
    ProfileDocument blankKey("[s]\r\nk=1\r\n");
    EXPECT_FALSE(blankKey.Set("s", "\v", "1"));
}

TEST(ProfileRead, BlankKeyNamesNoEntry) {
    // A line starting with "=" has an empty key, which no lookup reaches.
    const std::string file = "[s]\r\n=x\r\n \v=y\r\nk=1\r\n";
    for (const char* key : {"", " ", "\v", "\t\r"}) {
        EXPECT_EQ(Get(file, "s", key), std::nullopt) << "'" << key << "'";
        EXPECT_EQ(ProfileSection(file, "s").Get(key), std::nullopt) << "'" << key << "'";
    }
    EXPECT_EQ(ProfileDocument(file).Keys("s"), std::vector<std::string>{"k"});
}

TEST(ProfileInt, WindowsIntegerReading) {
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"12", 12},
        {"12abc", 12},
        {" -7 ", -7},
        {"+5", 5},
        {"-", 0},
        {"abc", 0},
        {"", 0},
        {"2147483647", INT_MAX},
        {"99999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-99999999999", INT_MIN},
        {"007", 7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseProfileInt(c.text), c.value) << "'" << c.text << "'";
    }
}

TEST(ProfileWrite, ReplacesInPlaceKeepingEveryOtherByte) {
    const std::string file = "intro line\r\n[s]\r\n  A = 1 \r\nnot an entry\n;c=2\r\n[t]\r\nb=3";
    EXPECT_EQ(AfterSet(file, "S", "a", "9"), "intro line\r\n[s]\r\nA=9\r\nnot an entry\n;c=2\r\n[t]\r\nb=3");
    EXPECT_EQ(AfterSet(file, "t", "b", "4"),
              "intro line\r\n[s]\r\n  A = 1 \r\nnot an entry\n;c=2\r\n[t]\r\nb=4");
}

TEST(ProfileWrite, RewritingAKeyKeepsTheKeyAsTheFileSpellsIt) {
    const struct {
        std::string file;
        std::string section, key, value;
        std::string after;
    } cases[] = {
        {"[s]\r\nKey=1\r\n", "s", "key", "2", "[s]\r\nKey=2\r\n"},
        {"[s]\r\nkey=1\r\n", "s", "KEY", "2", "[s]\r\nkey=2\r\n"},
        {"[S]\r\nId=5\r\n", "s", "id", "6", "[S]\r\nId=6\r\n"},
        {"[s]\r\n\t KeY \t=1\r\nx=0\r\n", "s", " key ", "2", "[s]\r\nKeY=2\r\nx=0\r\n"},
        {"[s]\r\n\xC1\x8A=1\r\n", "s", "\xE1\x9A", "2", "[s]\r\n\xC1\x8A=2\r\n"},
        {"[s]\r\nKey=1\r\nkey=3\r\n", "s", "KEY", "2", "[s]\r\nKey=2\r\nkey=3\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AfterSet(c.file, c.section, c.key, c.value), c.after) << c.file;
    }
}

TEST(ProfileWrite, NewKeyGoesAfterTheLastNonBlankLineOfItsSection) {
    EXPECT_EQ(AfterSet("[s]\r\na=1\r\n\r\n\r\n[t]\r\n", "s", "b", "2"),
              "[s]\r\na=1\r\nb=2\r\n\r\n\r\n[t]\r\n");
    EXPECT_EQ(AfterSet("[s]\r\n[t]\r\n", "s", "b", "2"), "[s]\r\nb=2\r\n[t]\r\n");
    EXPECT_EQ(AfterSet("[s]\r\na=1", "s", "b", "2"), "[s]\r\na=1\r\nb=2\r\n");
}

TEST(ProfileWrite, NewSectionIsAppendedAtTheEnd) {
    EXPECT_EQ(AfterSet("", "s", "k", "v"), "[s]\r\nk=v\r\n");
    EXPECT_EQ(AfterSet("[a]\r\nx=1\r\n", "s", "k", "v"), "[a]\r\nx=1\r\n[s]\r\nk=v\r\n");
    EXPECT_EQ(AfterSet("[a]\r\nx=1", "s", "k", "v"), "[a]\r\nx=1\r\n[s]\r\nk=v\r\n");
}

TEST(ProfileWrite, DuplicatesRewriteTheFirstAndDeleteEveryCopy) {
    ProfileDocument document("[s]\r\nk=1\r\nk=2\r\n[s]\r\nk=3\r\n[t]\r\nk=4\r\n");
    ASSERT_TRUE(document.Set("s", "k", "0"));
    EXPECT_EQ(document.Bytes(), "[s]\r\nk=0\r\nk=2\r\n[s]\r\nk=3\r\n[t]\r\nk=4\r\n");
    document.DeleteKey("S", "K");
    EXPECT_EQ(document.Bytes(), "[s]\r\n[s]\r\n[t]\r\nk=4\r\n");
    document.DeleteSection("s");
    EXPECT_EQ(document.Bytes(), "[t]\r\nk=4\r\n");
}

TEST(ProfileWrite, DeletingAndWritingAgainMovesTheKeyToTheEnd) {
    ProfileDocument document("[s]\r\na=1\r\nb=2\r\n");
    document.DeleteKey("s", "a");
    ASSERT_TRUE(document.Set("s", "a", "1"));
    EXPECT_EQ(document.Bytes(), "[s]\r\nb=2\r\na=1\r\n");
}

TEST(ProfileWrite, DeletingRemovesExactlyWhatAReadFinds) {
    const struct {
        const char* name;
        std::string file;
        std::string key;
        std::string after;
    } cases[] = {
        {"empty key", "[s]\r\n=x\r\nk=1\r\n", "", "[s]\r\n=x\r\nk=1\r\n"},
        {"blank key", "[s]\r\n \v=x\r\nk=1\r\n", " \v", "[s]\r\n \v=x\r\nk=1\r\n"},
        {"key holding equals", "[s]\r\na=b=1\r\n", "a=b", "[s]\r\na=b=1\r\n"},
        {"key starting a section", "[s]\r\n[t=1\r\nk=1\r\n", "[t", "[s]\r\n[t=1\r\nk=1\r\n"},
        {"key holding LF", "[s]\r\na\nb=1\r\n", "a\nb", "[s]\r\na\nb=1\r\n"},
        {"key holding NUL, not in the file", "[s]\r\nk=1\r\n", std::string("k\0", 2), "[s]\r\nk=1\r\n"},
        {"key holding NUL in a damaged file", std::string("[s]\r\nk\0=2\r\nk=1\r\n", 16),
         std::string("k\0", 2), "[s]\r\nk=1\r\n"},
        {"key holding CR in a damaged file", "[s]\r\na\rb=2\r\nk=1\r\n", "a\rb", "[s]\r\nk=1\r\n"},
        {"key after a vertical tab", "[s]\r\n\vk\v=1\r\nm=2\r\n", "K", "[s]\r\nm=2\r\n"},
    };
    for (const auto& c : cases) {
        ProfileDocument document(c.file);
        const bool found = document.Get("s", c.key).has_value();
        document.DeleteKey("s", c.key);
        EXPECT_EQ(document.Bytes(), c.after) << c.name;
        EXPECT_EQ(found, c.after != c.file) << c.name;
        EXPECT_EQ(document.Get("s", c.key), std::nullopt) << c.name;
    }
}

TEST(ProfileWrite, ClearSectionEmptiesOrCreates) {
    ProfileDocument document("[1]\r\npoints=5\r\n[_1]\r\na=\r\nb=\r\n[2]\r\npoints=3\r\n");
    ASSERT_TRUE(document.ClearSection("_1"));
    EXPECT_EQ(document.Bytes(), "[1]\r\npoints=5\r\n[_1]\r\n[2]\r\npoints=3\r\n");
    const ProfileSection cleared(document.Bytes(), "_1");
    EXPECT_TRUE(cleared.Found());
    EXPECT_FALSE(cleared.HasEntries());
    ASSERT_TRUE(document.ClearSection("_3"));
    EXPECT_EQ(document.Bytes(), "[1]\r\npoints=5\r\n[_1]\r\n[2]\r\npoints=3\r\n[_3]\r\n");
}

TEST(ProfileWrite, RefusesWritesThatWouldInjectLinesOrSections) {
    const std::string file = "[s]\r\nk=v\r\n";
    const struct {
        const char* name;
        std::string section, key, value;
    } refused[] = {
        {"CR in value", "s", "k", "a\rb"},
        {"LF in value", "s", "k", "a\n[t]"},
        {"NUL in value", "s", "k", std::string("a\0b", 3)},
        {"empty key", "s", "", "v"},
        {"blank key", "s", "  ", "v"},
        {"equals in key", "s", "a=b", "v"},
        {"key starts a section", "s", " [t]", "v"},
        {"LF in key", "s", "a\nb", "v"},
        {"bracket in section", "s]x", "k", "v"},
        {"LF in section", "s\n[t", "k", "v"},
        {"empty section", "", "k", "v"},
    };
    for (const auto& c : refused) {
        ProfileDocument document(file);
        EXPECT_FALSE(document.Set(c.section, c.key, c.value)) << c.name;
        EXPECT_EQ(document.Bytes(), file) << c.name;
    }
}

TEST(ByteBlock, EncodesUpperCaseWithChecksum) {
    const std::uint8_t bytes[] = {0x01, 0xAB, 0xFF, 0x00, 0x10};
    EXPECT_EQ(EncodeByteBlock(bytes), "01ABFF0010BB");
}

TEST(ByteBlock, DecodesOnlyExactLengthAndMatchingChecksum) {
    std::uint8_t out[5] = {};
    EXPECT_TRUE(DecodeByteBlock("01abff0010bb", out));
    EXPECT_EQ(out[1], 0xAB);
    const std::string good = "01ABFF0010BB";
    for (std::size_t i = 0; i < good.size(); ++i) {
        std::string changed = good;
        changed[i] = changed[i] == '0' ? '1' : '0';
        EXPECT_FALSE(DecodeByteBlock(changed, out)) << "digit " << i;
    }
    EXPECT_FALSE(DecodeByteBlock("01ABFF0010B", out));
    EXPECT_FALSE(DecodeByteBlock("01ABFF0010BB0", out));
    EXPECT_FALSE(DecodeByteBlock("01ABFF0010GG", out));
}

TEST(ProfileFile, MissingFileIsCreatedButNotItsDirectory) {
    TempDir dir;
    ASSERT_TRUE(WriteProfileValue(dir / "new.dat", dir / ".lock", "s", "k", "v"));
    EXPECT_EQ(ReadBytes(dir / "new.dat"), "[s]\r\nk=v\r\n");
    EXPECT_FALSE(WriteProfileValue(dir / "missing/new.dat", dir / ".lock", "s", "k", "v"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(ProfileFile, RefusedWriteLeavesTheFileUntouched) {
    TempDir dir;
    WriteBytes(dir / "r.dat", "[s]\r\nk=v\r\n");
    EXPECT_FALSE(WriteProfileValue(dir / "r.dat", dir / ".lock", "s", "k", "x\r\n[t]"));
    EXPECT_EQ(ReadBytes(dir / "r.dat"), "[s]\r\nk=v\r\n");
}

TEST(ProfileFile, DeletingFromAMissingFileSucceedsWithoutCreatingIt) {
    TempDir dir;
    EXPECT_TRUE(EditProfile(dir / "none.dat", dir / ".lock", [](ProfileDocument& document) {
        document.DeleteKey("s", "k");
        return true;
    }));
    EXPECT_FALSE(std::filesystem::exists(dir / "none.dat"));
}

TEST(ProfileFile, DamagedFilesNeverBreakReadsOrRewrites) {
    TempDir dir;
    std::string garbage;
    for (int i = 0; i < 100000; ++i) {
        garbage += static_cast<char>((i * 7919) % 256);
    }
    const std::string hugeLine(10u << 20, 'x');
    const struct {
        const char* name;
        std::string bytes;
    } damaged[] = {
        {"binary garbage", garbage},
        {"10 MiB line", "[s]\r\nbig=" + hugeLine + "\r\n"},
        {"no CR", "[s]\nk=1\nother=2\n"},
        {"NUL bytes", std::string("[s]\r\nn=a\0b\r\n\0\0\0\r\n", 17)},
        {"no final line end", "[s]\r\nk=1\r\nother=2"},
        {"only brackets", "[[[[]]]]\r\n[\r\n]\r\n=\r\n==\r\n"},
    };
    for (const auto& c : damaged) {
        const std::string path = dir / "d.dat";
        WriteBytes(path, c.bytes);
        ProfileDocument before;
        ASSERT_TRUE(LoadProfile(path, before)) << c.name;
        before.Get("s", "k");
        before.SectionNames();
        before.Keys("s");
        ASSERT_TRUE(WriteProfileValue(path, dir / ".lock", "new", "key", "value")) << c.name;
        const std::string after = ReadBytes(path);
        // Every line stays; the new section follows them (after a line end when the file lacked one).
        ASSERT_EQ(after.substr(0, c.bytes.size()), c.bytes) << c.name;
        const std::string tail = after.substr(c.bytes.size());
        EXPECT_TRUE(tail == "[new]\r\nkey=value\r\n" || tail == "\r\n[new]\r\nkey=value\r\n") << c.name;
        EXPECT_EQ(ReadProfileValue(path, "new", "key"), "value") << c.name;
    }
}

} // namespace
} // namespace tarvel
