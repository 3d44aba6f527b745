#include "platform/FileOps.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarvel {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

TEST(Wildcard, MatchesAsWindowsDoesIgnoringCase) {
    const struct {
        const char* pattern;
        const char* name;
        bool match;
    } cases[] = {
        {"*.c", "main.c", true},      {"*.c", "MAIN.C", true},      {"*.c", "main.cpp", false},
        {"*.c", "c", false},          {"*.*", "Makefile", true},    {"*.*", "a.b.c", true},
        {"*", "anything", true},      {"t1m*.*", "t1ma.txt", true}, {"t1m*.*", "t12ma.txt", false},
        {"t1m*.*", "T1MA.TXT", true}, {"?.h", "a.h", true},         {"?.h", "ab.h", false},
        {"*.mak", "x.MAK", true},     {"t1m1.*", "t1m1", true},     {"identity.dat", "IDENTITY.DAT", true},
        {"\xE1*", "\xC1x", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
    }
}

TEST(Wildcard, HostileNamesStayFast) {
    const std::string name(5000, 'a');
    EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*a*b", name));
}

TEST(FileOps, ListingIsInAscendingByteOrder) {
    TempDir dir;
    for (const char* name : {"b.c", "A.C", "a.h", "c.c"}) {
        WriteBytes(dir / name, "");
    }
    EXPECT_EQ(ListMatching(dir.Path(), "*.c"), (std::vector<std::string>{"A.C", "b.c", "c.c"}));
    EXPECT_TRUE(ListMatching(dir / "missing", "*").empty());
}

TEST(FileOps, CaseInsensitiveLookupPrefersAnExactName) {
    TempDir dir;
    WriteBytes(dir / "Identity.DAT", "x");
    EXPECT_EQ(FindCaseInsensitive(dir.Path(), "identity.dat"), "Identity.DAT");
    WriteBytes(dir / "identity.dat", "y");
    EXPECT_EQ(FindCaseInsensitive(dir.Path(), "identity.dat"), "identity.dat");
    EXPECT_EQ(FindCaseInsensitive(dir.Path(), "other"), std::nullopt);
    EXPECT_EQ(ResolveCaseInsensitive(dir / "IDENTITY.dat"), dir / "Identity.DAT");
}

TEST(FileOps, CopyOneFileToANameOrIntoADirectory) {
    TempDir dir;
    WriteBytes(dir / "empty.fl", "template");
    ASSERT_TRUE(CopyInto(dir / "EMPTY.FL", dir / "db/tasks/t1ma.txt"));
    EXPECT_EQ(ReadBytes(dir / "db/tasks/t1ma.txt"), "template");
    WriteBytes(dir / "empty.fl", "changed");
    ASSERT_TRUE(CopyInto(dir / "empty.fl", dir / "db/tasks/t1ma.txt"));
    EXPECT_EQ(ReadBytes(dir / "db/tasks/t1ma.txt"), "changed");
    ASSERT_TRUE(CopyInto(dir / "empty.fl", dir / "db/tasks"));
    EXPECT_EQ(ReadBytes(dir / "db/tasks/empty.fl"), "changed");
    EXPECT_FALSE(CopyInto(dir / "missing.fl", dir / "db/x"));
}

TEST(FileOps, CopyPatternCopiesFilesAndTrees) {
    TempDir dir;
    std::filesystem::create_directories(dir / "src/sub/deeper");
    WriteBytes(dir / "src/a.c", "a");
    WriteBytes(dir / "src/sub/deeper/b.h", "b");
    ASSERT_TRUE(CopyInto(dir / "src/*", dir / "dst/new"));
    EXPECT_EQ(ReadBytes(dir / "dst/new/a.c"), "a");
    EXPECT_EQ(ReadBytes(dir / "dst/new/sub/deeper/b.h"), "b");
    EXPECT_TRUE(CopyInto(dir / "src/*.zip", dir / "dst/none"));
}

TEST(FileOps, DeleteRules) {
    TempDir dir;
    std::filesystem::create_directories(dir / "t/sub");
    for (const char* name :
         {"t/t1m1.txt", "t/t1m1.in", "t/t1m10.txt", "t/t1m1a.txt", "t/t12m1.txt", "t/sub/x"}) {
        WriteBytes(dir / name, "");
    }
    ASSERT_TRUE(DeleteMatching(dir / "t/T1M*.*"));
    EXPECT_EQ(ListMatching(dir / "t", "*"), (std::vector<std::string>{"sub", "t12m1.txt"}));
    EXPECT_TRUE(DeleteMatching(dir / "t/nothing*.*"));
    EXPECT_FALSE(DeleteMatching(dir / "t/missing"));
    ASSERT_TRUE(DeleteMatching(dir / "t/SUB"));
    EXPECT_FALSE(std::filesystem::exists(dir / "t/sub"));
}

TEST(FileOps, MakeOneDirectoryLevel) {
    TempDir dir;
    EXPECT_TRUE(MakeOneDirectory(dir / "a"));
    EXPECT_FALSE(MakeOneDirectory(dir / "a"));
    EXPECT_FALSE(MakeOneDirectory(dir / "x/y"));
}

TEST(FileOps, AtomicWriteReplacesWholeAndKeepsNoTemporary) {
    TempDir dir;
    ASSERT_TRUE(WriteFileAtomically(dir / "f", "first"));
    ASSERT_TRUE(WriteFileAtomically(dir / "f", "second"));
    EXPECT_EQ(ReadBytes(dir / "f"), "second");
    EXPECT_EQ(ListMatching(dir.Path(), "*"), (std::vector<std::string>{"f"}));
    EXPECT_FALSE(WriteFileAtomically(dir / "missing/f", "x"));
}

TEST(FileOps, ReadIsBounded) {
    TempDir dir;
    WriteBytes(dir / "f", std::string(100, 'x'));
    std::string out = "kept";
    EXPECT_FALSE(ReadWholeFile(dir / "f", out, 99));
    EXPECT_EQ(out, "kept");
    EXPECT_TRUE(ReadWholeFile(dir / "f", out, 100));
    EXPECT_EQ(out.size(), 100u);
    EXPECT_FALSE(ReadWholeFile(dir.Path(), out));
}

TEST(Paths, Components) {
    EXPECT_EQ(ParentDirectory("/a/b/c.dat"), "/a/b");
    EXPECT_EQ(ParentDirectory("/c.dat"), "/");
    EXPECT_EQ(ParentDirectory("c.dat"), ".");
    EXPECT_EQ(BaseName("/a/b/c.dat"), "c.dat");
    EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
}

} // namespace
} // namespace tarvel
