// Unpacking submitted archives: ordinary and damaged ones unpack, hostile ones are refused before they can
// leave the target directory, create links or devices, or fill the disk.

#include "mail/ZipExtract.h"

#include "mail/ZipBuilder.h"
#include "support/Paths.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace tarvel {
namespace {

using namespace testing;
namespace fs = std::filesystem;

class ZipExtractTest : public ::testing::Test {
protected:
    bool Extract(const std::string& archive) { return ExtractZip(archive, Target(), reason); }
    std::string Target() const { return dir / "src"; }
    std::uintmax_t BytesBelow(const std::string& path) const {
        std::uintmax_t total = 0;
        for (const auto& entry : fs::recursive_directory_iterator(path)) {
            if (entry.is_regular_file()) {
                total += entry.file_size();
            }
        }
        return total;
    }
    // Nothing was created outside the target directory.
    void ExpectNothingOutsideTarget() const {
        for (const auto& entry : fs::directory_iterator(dir.Path())) {
            EXPECT_EQ(entry.path().filename(), "src");
        }
    }

    TempDir dir;
    std::string reason;
};

TEST_F(ZipExtractTest, UnpacksFilesAndDirectoriesStoredAndDeflated) {
    const std::string source(5000, 'x');
    ASSERT_TRUE(Extract(ZipBuilder()
                            .File("main.c", "int main(void) { return 0; }\n")
                            .Directory("lib/")
                            .Deflated("lib/list.c", source)
                            .File("doc\\readme.txt", "DOS separators\n")
                            .Bytes()))
        << reason;
    EXPECT_EQ(ReadBytes(Target() + "/main.c"), "int main(void) { return 0; }\n");
    EXPECT_EQ(ReadBytes(Target() + "/lib/list.c"), source);
    EXPECT_EQ(ReadBytes(Target() + "/doc/readme.txt"), "DOS separators\n");
}

TEST_F(ZipExtractTest, ReplacesWhatTheTargetHeldBefore) {
    fs::create_directories(Target());
    WriteBytes(Target() + "/old.c", "left over");
    ASSERT_TRUE(Extract(ZipBuilder().File("main.c", "new").Bytes())) << reason;
    EXPECT_FALSE(fs::exists(Target() + "/old.c"));
    EXPECT_TRUE(fs::exists(Target() + "/main.c"));
}

struct DamagedDirectoryCase {
    const char* name;
    std::function<std::string(const ZipBuilder&)> archive;
};

class DamagedCentralDirectory : public ZipExtractTest,
                                public ::testing::WithParamInterface<DamagedDirectoryCase> {};

TEST_P(DamagedCentralDirectory, StillUnpacksFromTheLocalHeaders) {
    ZipBuilder builder;
    builder.File("main.c", "int main(void) { return 0; }\n").Deflated("identity.dat", "[IDZ]\r\nUNID=1\r\n");
    ASSERT_TRUE(Extract(GetParam().archive(builder))) << reason;
    EXPECT_EQ(ReadBytes(Target() + "/main.c"), "int main(void) { return 0; }\n");
    EXPECT_EQ(ReadBytes(Target() + "/identity.dat"), "[IDZ]\r\nUNID=1\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Archives, DamagedCentralDirectory,
    ::testing::Values(DamagedDirectoryCase{"CutOff", [](const ZipBuilder& zip) { return zip.LocalPart(); }},
                      DamagedDirectoryCase{"Overwritten",
                                           [](const ZipBuilder& zip) {
                                               std::string bytes = zip.Bytes();
                                               const std::size_t local = zip.LocalPart().size();
                                               for (std::size_t i = local; i < bytes.size() - 22; ++i) {
                                                   bytes[i] = '\x5A';
                                               }
                                               return bytes;
                                           }},
                      DamagedDirectoryCase{"EndRecordPointsNowhere",
                                           [](const ZipBuilder& zip) {
                                               std::string bytes = zip.Bytes();
                                               bytes[bytes.size() - 6] = '\x7F'; // the directory's offset
                                               return bytes;
                                           }}),
    [](const auto& info) { return info.param.name; });

struct HostileCase {
    const char* name;
    std::function<std::string()> archive;
    const char* reasonStart;
};

class HostileArchive : public ZipExtractTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileArchive, IsRefusedWithoutTouchingAnythingOutside) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Extract(GetParam().archive()));
    EXPECT_EQ(reason.rfind(GetParam().reasonStart, 0), 0u) << reason;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ExpectNothingOutsideTarget();
    EXPECT_FALSE(fs::exists(dir / "x"));
    EXPECT_FALSE(fs::exists("/tmp/tarvel-zip-absolute-test"));
    if (fs::exists(Target())) {
        EXPECT_LE(BytesBelow(Target()), ZipLimits{}.maxBytes);
        for (const auto& entry : fs::recursive_directory_iterator(Target())) {
            EXPECT_TRUE(entry.is_regular_file() || entry.is_directory()) << entry.path();
            EXPECT_FALSE(entry.is_symlink()) << entry.path();
        }
    }
}

std::string ManyEntries(int count) {
    ZipBuilder builder;
    for (int i = 0; i < count; ++i) {
        builder.File("f" + std::to_string(i) + ".c", "x");
    }
    return builder.Bytes();
}

// `count` files, each below `depth` directories of its own.
std::string DeepEntries(int count, int depth) {
    ZipBuilder builder;
    for (int i = 0; i < count; ++i) {
        std::string name;
        for (int level = 0; level < depth; ++level) {
            name += "d" + std::to_string(i) + "/";
        }
        builder.File(name + "f.c", "x");
    }
    return builder.Bytes();
}

INSTANTIATE_TEST_SUITE_P(
    Archives, HostileArchive,
    ::testing::Values(
        HostileCase{"DotDot", [] { return ZipBuilder().File("main.c", "x").File("../x", "escaped").Bytes(); },
                    "zip entry with '..'"},
        HostileCase{"DotDotInTheMiddle", [] { return ZipBuilder().File("a/../../x", "escaped").Bytes(); },
                    "zip entry with '..'"},
        HostileCase{"DotDotWithDosSeparators", [] { return ZipBuilder().File("..\\x", "escaped").Bytes(); },
                    "zip entry with '..'"},
        HostileCase{"AbsolutePath",
                    [] { return ZipBuilder().File("/tmp/tarvel-zip-absolute-test", "escaped").Bytes(); },
                    "zip entry with an absolute path"},
        HostileCase{"DriveLetter", [] { return ZipBuilder().File("C:\\x", "escaped").Bytes(); },
                    "zip entry with an absolute path"},
        HostileCase{"Symlink",
                    [] { return ZipBuilder().File("main.c", "x").Symlink("passwd", "/etc/passwd").Bytes(); },
                    "zip entry is a link"},
        HostileCase{"SymlinkThenFileThroughIt",
                    [] { return ZipBuilder().Symlink("up", "..").File("up/x", "escaped").Bytes(); },
                    "zip entry is a link"},
        HostileCase{"CharacterDevice", [] { return ZipBuilder().Device("null").Bytes(); },
                    "zip entry is a device or special file"},
        HostileCase{"TwoThousandEntries", [] { return ManyEntries(2000); },
                    "zip archive with more than 1000 entries"},
        HostileCase{"GibibyteBombDeclared",
                    [] {
                        std::uint32_t crc = 0;
                        std::string stream = ZeroBomb(1024, crc);
                        return ZipBuilder().Compressed("zeros.c", std::move(stream), crc, 1u << 30).Bytes();
                    },
                    "zip archive unpacks to more than 16777216 bytes"},
        HostileCase{"GibibyteBombUnderstated",
                    [] {
                        std::uint32_t crc = 0;
                        std::string stream = ZeroBomb(1024, crc);
                        return ZipBuilder().Compressed("zeros.c", std::move(stream), crc, 1000).Bytes();
                    },
                    "zip archive"},
        HostileCase{"ManySmallBombsTogether",
                    [] {
                        std::uint32_t crc = 0;
                        const std::string stream = ZeroBomb(4, crc);
                        ZipBuilder builder;
                        for (int i = 0; i < 5; ++i) {
                            builder.Compressed("z" + std::to_string(i), stream, crc, 4u << 20);
                        }
                        return builder.Bytes();
                    },
                    "zip archive unpacks to more than 16777216 bytes"},
        HostileCase{"DirectoryBomb", [] { return DeepEntries(50, 1500); },
                    "zip entry name longer than 1024 bytes"},
        HostileCase{"SeventeenLevels", [] { return DeepEntries(1, 17); }, "zip entry nested deeper than 16"},
        HostileCase{"ImpliedDirectoriesCounted", [] { return DeepEntries(100, 16); },
                    "zip archive with more than 1000 entries"},
        HostileCase{
            "NameOverTheLengthLimit",
            [] {
                return ZipBuilder().File(std::string(1000, 'n') + "/" + std::string(24, 'm'), "x").Bytes();
            },
            "zip entry name longer than 1024 bytes"},
        HostileCase{"NotAnArchive", [] { return std::string(2000, 'x'); }, "not a zip archive"},
        HostileCase{"CutInTheMiddleOfData",
                    [] {
                        const std::string bytes =
                            ZipBuilder().Deflated("main.c", std::string(20000, 'q')).Bytes();
                        return bytes.substr(0, 60);
                    },
                    "zip archive damaged"},
        HostileCase{"CutInTheMiddleOfAHeader",
                    [] {
                        ZipBuilder zip;
                        zip.File("main.c", "int main;").File("identity.dat", "[IDZ]");
                        return zip.LocalPart() + std::string("PK\3\4\x14\0\0", 7);
                    },
                    "zip archive damaged"},
        HostileCase{"WrongChecksum",
                    [] {
                        std::string bytes = ZipBuilder().File("main.c", "int main;").Bytes();
                        bytes[14] ^= 0x55; // the local header's CRC
                        bytes[bytes.size() - 22 - 46 - 6 + 16] ^= 0x55;
                        return bytes;
                    },
                    "zip archive damaged"},
        HostileCase{"Empty", [] { return ZipBuilder().Bytes(); }, "zip archive without entries"}),
    [](const auto& info) { return info.param.name; });

TEST_F(ZipExtractTest, AThousandEntriesAreAllowed) {
    ASSERT_TRUE(Extract(ManyEntries(1000))) << reason;
    EXPECT_TRUE(fs::exists(Target() + "/f999.c"));
}

TEST_F(ZipExtractTest, ExactlySixteenMebibytesAreAllowed) {
    std::uint32_t crc = 0;
    std::string stream = ZeroBomb(16, crc);
    ASSERT_TRUE(Extract(ZipBuilder().Compressed("zeros.c", std::move(stream), crc, 16u << 20).Bytes()))
        << reason;
    EXPECT_EQ(fs::file_size(Target() + "/zeros.c"), 16u << 20);
}

TEST_F(ZipExtractTest, TheLimitsOfDepthAndNameLengthAreAllowed) {
    std::string name;
    for (int level = 0; level < 16; ++level) {
        name += std::string(60, 'a' + level) + "/";
    }
    name += std::string(1024 - name.size(), 'f');
    ASSERT_EQ(name.size(), 1024u);
    ASSERT_TRUE(Extract(ZipBuilder().File(name, "deep").Bytes())) << reason;
    EXPECT_EQ(ReadBytes(Target() + "/" + name), "deep");
}

// An accented name arrives as its Windows-1250 bytes, the form every stored name has, whichever encoding the
// archiver used and whichever of the two readers takes it.
struct AccentedCase {
    const char* name;
    std::function<std::string()> archive;
    std::string storedName;
};

class AccentedName : public ZipExtractTest, public ::testing::WithParamInterface<AccentedCase> {};

TEST_P(AccentedName, IsStoredAsWindows1250) {
    const std::string archive = GetParam().archive();
    if (archive.empty()) {
        GTEST_SKIP() << "python3 is needed to write the archive";
    }
    ASSERT_TRUE(Extract(archive)) << reason;
    EXPECT_EQ(ReadBytes(Target() + "/" + GetParam().storedName), "int s;\n");
}

// What Python's zipfile writes for a non-ASCII name: UTF-8 with the flag set.
std::string PythonZip(const std::string& utf8Name) {
    const TempDir dir;
    const std::string path = dir / "python.zip";
    const std::string command = "python3 -c \"import zipfile, sys; zipfile.ZipFile(sys.argv[1], 'w')"
                                ".writestr(sys.argv[2], 'int s;\\n')\" " +
                                path + " '" + utf8Name + "'";
    if (!HasTool("python3") || std::system(command.c_str()) != 0) {
        return "";
    }
    return ReadBytes(path);
}

INSTANTIATE_TEST_SUITE_P(
    Archives, AccentedName,
    ::testing::Values(
        AccentedCase{"Utf8FlagWrittenByPython", [] { return PythonZip("pozn\u00e1mky.txt"); },
                     "pozn\xE1mky.txt"},
        AccentedCase{"Utf8FlagInADirectory", [] { return PythonZip("\u00falohy/s\u00fa\u010det.c"); },
                     "\xFA"
                     "lohy/s\xFA\xE8"
                     "et.c"},
        AccentedCase{"Cp852WithoutTheFlag",
                     [] {
                         return ZipBuilder()
                             .File("s\xA3\x9F"
                                   "et.c",
                                   "int s;\n")
                             .Bytes();
                     },
                     "s\xFA\xE8"
                     "et.c"},
        AccentedCase{"Cp852FromTheLocalHeaders",
                     [] { return ZipBuilder().File("\xA7ivot.c", "int s;\n").LocalPart(); }, "\x9Eivot.c"},
        AccentedCase{"Utf8FlagFromTheLocalHeaders",
                     [] { return ZipBuilder().Utf8Names().File("\xC5\xBEivot.c", "int s;\n").LocalPart(); },
                     "\x9Eivot.c"}),
    [](const auto& info) { return info.param.name; });

struct UnreadableNameCase {
    const char* name;
    ZipBuilder archive;
    const char* reasonStart;
};

class UnreadableName : public ZipExtractTest, public ::testing::WithParamInterface<UnreadableNameCase> {};

TEST_P(UnreadableName, IsRefusedWithItsReason) {
    EXPECT_FALSE(Extract(GetParam().archive.Bytes()));
    EXPECT_EQ(reason.rfind(GetParam().reasonStart, 0), 0u) << reason;
}

INSTANTIATE_TEST_SUITE_P(
    Archives, UnreadableName,
    ::testing::Values(UnreadableNameCase{"Utf8WithoutAWindows1250Form",
                                         ZipBuilder().Utf8Names().File("\xE2\x98\x83.c", "x"),
                                         "zip entry name with a character that has no Windows-1250 form"},
                      UnreadableNameCase{"Cp852BoxDrawing", ZipBuilder().File("box\xB0.c", "x"),
                                         "zip entry name with a character that has no Windows-1250 form"},
                      UnreadableNameCase{"FlaggedButNotUtf8", ZipBuilder().Utf8Names().File("a\xFF.c", "x"),
                                         "zip entry name that is not text in its encoding"}),
    [](const auto& info) { return info.param.name; });

} // namespace
} // namespace tarvel
