#include "platform/FileOps.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <future>

namespace tarvel {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;
namespace fs = std::filesystem;

// Runs `work` on another thread. Should a fault make it open one of the FIFOs for reading, a writer opens and
// closes them after two seconds, so that the fault fails the test (`blocked`) instead of hanging it.
template <typename Work>
auto WithoutHanging(Work work, const std::vector<std::string>& fifos, bool& blocked) {
    auto result = std::async(std::launch::async, work);
    blocked = false;
    while (result.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
        blocked = true;
        for (const std::string& fifo : fifos) {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    return result.get();
}

unsigned PermissionsOf(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : ~0u;
}

bool IsLink(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

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

TEST(FileOps, ReadRefusingLinksTakesOnlyARegularFile) {
    const struct {
        const char* name;
        std::string (*make)(const TempDir&);
        bool reads;
    } cases[] = {
        {"regular file",
         [](const TempDir& dir) {
             WriteBytes(dir / "f", "content");
             return dir / "f";
         },
         true},
        {"link to a file",
         [](const TempDir& dir) {
             WriteBytes(dir / "target", "content");
             fs::create_symlink(dir / "target", dir / "f");
             return dir / "f";
         },
         false},
        {"FIFO",
         [](const TempDir& dir) {
             ::mkfifo((dir / "f").c_str(), 0644);
             return dir / "f";
         },
         false},
        {"directory",
         [](const TempDir& dir) {
             fs::create_directory(dir / "f");
             return dir / "f";
         },
         false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = c.make(dir);
        std::string out = "kept";
        bool blocked = false;
        const auto [ok, error] = WithoutHanging(
            [&] {
                errno = 0;
                const bool read = ReadWholeFile(path, out, SIZE_MAX, Links::Refuse);
                return std::pair(read, errno);
            },
            {path}, blocked);
        EXPECT_FALSE(blocked) << c.name;
        EXPECT_EQ(ok, c.reads) << c.name;
        EXPECT_EQ(out, c.reads ? "content" : "kept") << c.name;
        if (!c.reads) {
            EXPECT_NE(error, 0) << c.name;
        }
    }
    // The default still follows a link.
    TempDir dir;
    WriteBytes(dir / "target", "content");
    fs::create_symlink(dir / "target", dir / "link");
    std::string out;
    EXPECT_TRUE(ReadWholeFile(dir / "link", out));
    EXPECT_EQ(out, "content");
}

TEST(FileOps, AtomicWriteKeepsOnlyThePermissionBitsOfARegularFile) {
    const struct {
        const char* name;
        void (*make)(const TempDir&);
        unsigned mode;
    } cases[] = {
        {"link to a setuid program",
         [](const TempDir& dir) {
             WriteBytes(dir / "program", "program");
             ::chmod((dir / "program").c_str(), 04755);
             fs::create_symlink(dir / "program", dir / "f");
         },
         0644},
        {"regular 0640",
         [](const TempDir& dir) {
             WriteBytes(dir / "f", "old");
             ::chmod((dir / "f").c_str(), 0640);
         },
         0640},
        {"regular setuid",
         [](const TempDir& dir) {
             WriteBytes(dir / "f", "old");
             ::chmod((dir / "f").c_str(), 04755);
         },
         0755},
        {"none", [](const TempDir&) {}, 0644},
    };
    for (const auto& c : cases) {
        TempDir dir;
        c.make(dir);
        ASSERT_TRUE(WriteFileAtomically(dir / "f", "new")) << c.name;
        EXPECT_TRUE(IsRegularFile(dir / "f") && !IsLink(dir / "f")) << c.name;
        EXPECT_EQ(ReadBytes(dir / "f"), "new") << c.name;
        EXPECT_EQ(PermissionsOf(dir / "f"), c.mode) << c.name;
    }
    // The link is replaced; the program it pointed to is left as it was.
    TempDir dir;
    cases[0].make(dir);
    ASSERT_TRUE(WriteFileAtomically(dir / "f", "new"));
    EXPECT_EQ(ReadBytes(dir / "program"), "program");
    EXPECT_EQ(PermissionsOf(dir / "program"), 04755u);
}

TEST(FileOps, CopyPatternNeverFollowsWhatItFinds) {
    const std::string canary = "the teacher's secret";
    const struct {
        const char* name;
        void (*make)(
            const TempDir&); // adds to src/, which holds a.c and sub/b.h; dir/outside holds the canary
        bool ok;
    } cases[] = {
        {"nothing else", [](const TempDir&) {}, true},
        {"link to a file outside",
         [](const TempDir& dir) { fs::create_symlink(dir / "outside/canary", dir / "src/link.c"); }, false},
        {"link to a directory outside",
         [](const TempDir& dir) { fs::create_symlink(dir / "outside", dir / "src/linked"); }, false},
        {"FIFO", [](const TempDir& dir) { ::mkfifo((dir / "src/fifo.c").c_str(), 0644); }, false},
        {"link in a nested directory",
         [](const TempDir& dir) { fs::create_symlink(dir / "outside/canary", dir / "src/sub/link.h"); },
         false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        fs::create_directories(dir / "src/sub");
        fs::create_directories(dir / "outside");
        WriteBytes(dir / "outside/canary", canary);
        WriteBytes(dir / "src/a.c", "a");
        WriteBytes(dir / "src/sub/b.h", "b");
        c.make(dir);
        bool blocked = false;
        const bool ok = WithoutHanging([&] { return CopyInto(dir / "src/*", dir / "dst"); },
                                       {dir / "src/fifo.c"}, blocked);
        EXPECT_FALSE(blocked) << c.name;
        EXPECT_EQ(ok, c.ok) << c.name;
        EXPECT_EQ(ReadBytes(dir / "dst/a.c"), "a") << c.name;
        EXPECT_EQ(ReadBytes(dir / "dst/sub/b.h"), "b") << c.name;
        for (const auto& entry : fs::recursive_directory_iterator(dir / "dst")) {
            EXPECT_FALSE(entry.is_symlink()) << c.name << ": " << entry.path();
            EXPECT_TRUE(entry.is_directory() || entry.is_regular_file()) << c.name << ": " << entry.path();
            if (entry.is_regular_file()) {
                EXPECT_EQ(ReadBytes(entry.path()).find(canary), std::string::npos)
                    << c.name << ": " << entry.path();
            }
        }
    }
}

TEST(FileOps, ANamedLinkIsFollowedButNothingBelowIt) {
    TempDir dir;
    fs::create_directories(dir / "picked");
    WriteBytes(dir / "picked/a.c", "a");
    WriteBytes(dir / "canary", "secret");
    fs::create_symlink(dir / "canary", dir / "picked/link.c");
    fs::create_symlink(dir / "picked/a.c", dir / "file-link");
    fs::create_symlink(dir / "picked", dir / "dir-link");

    ASSERT_TRUE(CopyInto(dir / "file-link", dir / "dst/one.c"));
    EXPECT_EQ(ReadBytes(dir / "dst/one.c"), "a");
    EXPECT_FALSE(IsLink(dir / "dst/one.c"));

    EXPECT_FALSE(CopyInto(dir / "dir-link", dir / "dst/tree"));
    EXPECT_EQ(ReadBytes(dir / "dst/tree/a.c"), "a");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "dst/tree/link.c")));
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
