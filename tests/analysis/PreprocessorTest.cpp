#include "analysis/Preprocessor.h"

#include "AnalysisDatabase.h"
#include "store/RecordSection.h"

#include <gtest/gtest.h>

#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace tarvel {
namespace {

using testing::AnalysisDatabase;
using testing::Crlf;
using testing::SourceFiles;

struct DirectiveCase {
    const char* name;
    std::string input; // what follows the "#"
    std::string raw;
    std::string logical;
    int next; // the next character left in the input
};

TEST(ReadDirective, KeepsTheRawTextAndJoinsContinuations) {
    const DirectiveCase cases[] = {
        {"plain", "include \"a.h\"\nx", "#include \"a.h\"\n", "include \"a.h\"", 'x'},
        {"continuation", "define A\\\nB\nx", "#define A\\\nB\n", "define A  B", 'x'},
        {"blanks after the backslash", "x \\  \ny\n", "#x \\  \ny\n", "x     y", TextInput::kEnd},
        {"end of file before the line end", "include \"a.h\"", "#include \"a.h\"", "include \"a.h\"",
         TextInput::kEnd},
        {"end of file at once", "", "#", "", TextInput::kEnd},
        {"continuation at the end of file", "a\\\n", "#a\\\n", "a  ", TextInput::kEnd},
        {"backslash in the middle is text", "a\\b\nx", "#a\\b\n", "a\\b", 'x'},
    };
    for (const auto& c : cases) {
        TextInput input{c.input};
        std::string raw = "#";
        std::string logical;
        ReadDirective(input, raw, logical);
        EXPECT_EQ(raw, c.raw) << c.name;
        EXPECT_EQ(logical, c.logical) << c.name;
        EXPECT_EQ(input.Get(), c.next) << c.name;
    }
}

struct MergeCase {
    const char* name;
    SourceFiles files;
    std::string merged; // LF line ends; the file holds them as CR LF
};

TEST(ExpandIncludes, MergesTheSubmission) {
    const MergeCase cases[] = {
        {"quoted include replaced, system header kept",
         {{"main.c", "#include \"list.h\"\n#include <stdio.h>\nint main() { return 0; }\n"},
          {"list.h", "struct list { int v; };\n"}},
         "struct list { int v; };\n\n#include <stdio.h>\nint main() { return 0; }\n\n"},
        {"header including itself is expanded once",
         {{"main.c", "#include \"a.h\"\n"}, {"a.h", "#include \"a.h\"\nint a;\n"}},
         "#include \"a.h\"\nint a;\n\n\n"},
        {"second include of a header stays",
         {{"main.c", "#include \"a.h\"\n#include \"a.h\"\nx;\n"}, {"a.h", "int a;\n"}},
         "int a;\n\n#include \"a.h\"\nx;\n\n"},
        {"include cycle through three files",
         {{"main.c", "#include \"x.h\"\n"},
          {"x.h", "#include \"y.h\"\nX\n"},
          {"y.h", "#include \"z.h\"\nY\n"},
          {"z.h", "#include \"x.h\"\nZ\n"}},
         "#include \"x.h\"\nZ\n\nY\n\nX\n\n\n"},
        {"continued define copied as the same lines",
         {{"main.c", "#define MAX 10 \\\n  + 1\nx;\n"}},
         "#define MAX 10 \\\n  + 1\nx;\n\n"},
        {"hash, blank, include is not an include",
         {{"main.c", "# include \"a.h\"\n#include\"a.h\"\n"}, {"a.h", "A\n"}},
         "# include \"a.h\"\nA\n\n\n"},
        {"indented directive", {{"main.c", "  #include \"a.h\"\n"}, {"a.h", "A\n"}}, "  A\n\n\n"},
        {"hash after code is code",
         {{"main.c", "x # include \"a.h\"\n"}, {"a.h", "A\n"}},
         "x # include \"a.h\"\n\n"},
        {"angle brackets name a shipped header",
         {{"main.c", "#include < stdio.h >\n"}, {"stdio.h", "S\n"}},
         "S\n\n\n"},
        {"include names ignore letter case",
         {{"MAIN.C", "#include \"LIST.H\"\n"}, {"list.h", "L\n"}},
         "L\n\n\n"},
        {"unclosed name stays", {{"main.c", "#include \"a.h\nx\n"}, {"a.h", "A\n"}}, "#include \"a.h\nx\n\n"},
        {"empty name stays", {{"main.c", "#include \"\"\n"}}, "#include \"\"\n\n"},
        {"directive at the end of file without a line end",
         {{"main.c", "#include \"a.h\""}, {"a.h", "A\n"}},
         "A\n\n\n"},
        {"last line without a line end", {{"main.c", "int x;"}}, "int x;\n"},
        {"Windows line ends are read as text mode reads them",
         {{"main.c", "a;\r\n#include \"a.h\"\r\n"}, {"a.h", "A\r\n"}},
         "a;\nA\n\n\n"},
        {"sources merged in ascending name order", {{"b.c", "B\n"}, {"a.c", "A\n"}}, "A\n\nB\n\n"},
        {"a source included earlier is merged once",
         {{"a.c", "#include \"b.c\"\nA\n"}, {"b.c", "B\n"}},
         "B\n\nA\n\n"},
        {"include in a subdirectory", {{"main.c", "#include \"sub\\x.h\"\n"}}, "X\n\n\n"},
        {"no way out of the submission",
         {{"main.c", "#include \"../../../../secret.h\"\n#include </etc/hostname>\n"}},
         "#include \"../../../../secret.h\"\n#include </etc/hostname>\n\n"},
        {"no C file gives an empty merge", {{"readme.txt", "hello\n"}}, ""},
        {"a NUL in an include name names no file",
         {{"main.c", std::string("#include \"a.h\0x\"\n", 17)}, {"a.h", "A\n"}},
         std::string("#include \"a.h\0x\"\n\n", 18)},
        {"a listed source is the entry it is, whatever bytes its name holds",
         {{"main.c", "M\n"}, {"p:q.c", "Q\n"}, {"p\\r.c", "R\n"}},
         "M\n\nQ\n\nR\n\n"},
    };
    for (const auto& c : cases) {
        AnalysisDatabase data;
        const ResultRecord record = data.AddSubmission("10001", c.files);
        // The escape case has a real file where the name would lead.
        testing::WriteBytes(data.Db().AbsolutePath("secret.h"), "SECRET\n");
        MakeDirectories(data.SubmissionPath(record, "sub"));
        testing::WriteBytes(data.SubmissionPath(record, "sub/x.h"), "X\n");

        const std::string merged = ExpandIncludes(data.Db(), record);
        ASSERT_EQ(merged, data.SubmissionPath(record, "ppf.ppf")) << c.name;
        EXPECT_EQ(testing::ReadBytes(merged), Crlf(c.merged)) << c.name;
        std::string key;
        EXPECT_TRUE(ResultSection(data.Db(), record).ReadString(kPreprocessedFileKey, key)) << c.name;
        EXPECT_EQ(key, "ppf.ppf") << c.name;
    }
}

TEST(ExpandIncludes, MissingDirectoryGivesNoName) {
    AnalysisDatabase data;
    const ResultRecord record = data.AddSubmission("10001", {});
    ASSERT_TRUE(RemoveTree(data.SubmissionPath(record)));
    EXPECT_EQ(ExpandIncludes(data.Db(), record), "");
    std::string key;
    EXPECT_FALSE(ResultSection(data.Db(), record).ReadString(kPreprocessedFileKey, key));
}

TEST(ExpandIncludes, UnreadableSourceFailsTheRun) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads every file";
    }
    AnalysisDatabase data;
    const ResultRecord record = data.AddSubmission("10001", {{"main.c", "int x;\n"}});
    ASSERT_EQ(::chmod(data.SubmissionPath(record, "main.c").c_str(), 0), 0);
    EXPECT_EQ(ExpandIncludes(data.Db(), record), "");
    std::string key;
    EXPECT_FALSE(ResultSection(data.Db(), record).ReadString(kPreprocessedFileKey, key));
}

TEST(ExpandIncludes, DirectoryNamedLikeASourceIsNoSource) {
    AnalysisDatabase data;
    const ResultRecord record = data.AddSubmission("10001", {{"main.c", "int x;\n"}});
    MakeDirectories(data.SubmissionPath(record, "old.c"));
    EXPECT_EQ(testing::ReadBytes(ExpandIncludes(data.Db(), record)), Crlf("int x;\n\n"));
}

TEST(PreprocessedFile, UsesTheCachedNameEvenWhenTheFileVanished) {
    AnalysisDatabase data;
    const ResultRecord record = data.AddSubmission("10001", {{"main.c", "int x;\n"}});
    const std::string built = PreprocessedFile(data.Db(), record);
    EXPECT_EQ(built, data.SubmissionPath(record, "ppf.ppf"));
    ASSERT_TRUE(RemoveTree(built));
    EXPECT_EQ(PreprocessedFile(data.Db(), record), built);
    EXPECT_FALSE(IsRegularFile(built));

    ResultSection(data.Db(), record).WriteString(kPreprocessedFileKey, "other.txt");
    EXPECT_EQ(PreprocessedFile(data.Db(), record), data.SubmissionPath(record, "other.txt"));
}

} // namespace
} // namespace tarvel
