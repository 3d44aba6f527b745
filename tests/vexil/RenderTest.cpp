// Whole pages for the scanner's rules and edge cases, the run's failure cases, and a realistic submission
// against golden files.

#include "VexilHarness.h"

#include <gtest/gtest.h>

namespace vexiltest {
namespace {

using namespace std::string_literals;

struct Case {
    const char* name;
    std::string source;
    std::string body;
};

std::string res(std::string_view html) {
    return span("res", html);
}
std::string sym(std::string_view html) {
    return span("sym", html);
}
std::string num(std::string_view html) {
    return span("num", html);
}
std::string op(std::string_view html) {
    return span("op", html);
}
std::string chr(std::string_view html) {
    return span("chr", html);
}
std::string kom(std::string_view html) {
    return span("kom", html);
}
std::string str(std::string_view html) {
    return span("str", html);
}
std::string dir(std::string_view html) {
    return span("dir", html);
}

const Case cases[] = {
    {"Declaration", "int x;\n", res("int") + " " + sym("x") + op(";") + "\n"},
    {"KeywordInsideIdentifier", "integer;\n", sym("integer") + op(";") + "\n"},
    {"KeywordAtEndOfFile", "x int", sym("x") + " int"},
    {"WordAtEndOfFileKeepsItsNumbers", "a 0x1fy0x1f2z_9",
     sym("a") + " " + num("0x1f") + "y" + num("0x1f2") + "z_" + num("9")},
    {"Operators", "a->b; a<=b&c\n",
     sym("a") + op("-") + op("&gt;") + sym("b") + op(";") + " " + sym("a") + op("&lt;") + op("=") + sym("b") +
         op("&amp;") + sym("c") + "\n"},
    {"LineComment", "x; // a<b && c>d\n", sym("x") + op(";") + " " + kom("// a&lt;b &amp;&amp; c&gt;d\n")},
    {"LineCommentWithoutLineEnd", "x // y", sym("x") + " // y"},
    {"LastLineKeepsOtherRules", "// b /* c<d */ 'x' e",
     "// " + sym("b") + " " + kom("/* c&lt;d */") + " " + chr("'x'") + " e"},
    {"EscapesInCommentStringDirective", "/* a<b */\n\"<&>\"\n#if A<B && C>D\n",
     kom("/* a&lt;b */") + "\n" + str("\"&lt;&amp;&gt;\"") + "\n" + dir("#if A&lt;B &amp;&amp; C&gt;D\n")},
    {"QuotedInclude", "#include \"list.h\"\n",
     dir("#include \"<A CLASS=\"dir\" HREF=\"list.h.html\">list.h</A>\"\n")},
    {"AngleInclude", "#include <stdio.h>\n", dir("#include &lt;stdio.h&gt;\n")},
    {"EmptyInclude", "#include\t\"\"\n", dir("#include\t\"<A CLASS=\"dir\" HREF=\".html\"></A>\"\n")},
    {"IncludeNameIsEscaped", "#include \"a<b>&.h\"\n",
     dir("#include \"<A CLASS=\"dir\" HREF=\"a&lt;b&gt;&amp;.h.html\">a&lt;b&gt;&amp;.h</A>\"\n")},
    {"UnclosedIncludeName", "#include \"a<b\nc", "<SPAN CLASS=\"dir\">#include \"a&lt;b\nc"},
    {"DirectiveEndsAtLineEndDespiteBackslash", "#define A \\\n  B\n",
     dir("#define A \\\n") + "  " + sym("B") + "\n"},
    {"Numbers", "0x1F 0X1F 1.5e3 .5 12. 0x 007\n",
     num("0x1F") + " " + num("0") + sym("X1F") + " " + num("1.5") + sym("e3") + " " + num(".5") + " " +
         num("12") + op(".") + " " + num("0") + sym("x") + " " + num("007") + "\n"},
    {"CharacterConstants", "'a' '\\'' '<' '' 'ab\n",
     chr("'a'") + " " + chr("'\\''") + " " + chr("'&lt;'") + " " + chr("''") + " '" + sym("ab") + "\n"},
    {"QuotesInsideUnterminatedConstant", "'\\'x \"<\" \\'\n'a'\n",
     "'" + op("\\") + "'" + sym("x") + " " + str("\"&lt;\"") + " " + op("\\") + "'\n" + chr("'a'") + "\n"},
    {"QuotesAfterUnterminatedConstantLive", "'\\' \"a\n'b'\" 'c'\n",
     "'" + op("\\") + "' " + str("\"a\n'b'\"") + " " + chr("'c'") + "\n"},
    {"Strings", "\"a\\\"b\" \"c\\\nd\" \"x\\\\\"\n",
     str("\"a\\\"b\"") + " " + str("\"c\\\nd\"") + " " + str("\"x\\\\\"") + "\n"},
    {"UnterminatedComment", "x /* open <\n", sym("x") + " <SPAN CLASS=\"kom\">/* open &lt;\n"},
    {"UnterminatedString", "s = \"abc\n", sym("s") + " " + op("=") + " <SPAN CLASS=\"str\">\"abc\n"},
    {"WindowsTextMode", "a\r\nb\rc\x1a\r", sym("a") + "\n" + sym("b") + op("\r") + sym("c") + op("\x1a\r")},
    {"NulBytes", "a\0\0b\n"s, sym("a") + "\0\0"s + sym("b") + "\n"},
    {"HighBytesAreOperators", "x\xe9\xff+y\n", sym("x") + op("\xe9\xff+") + sym("y") + "\n"},
};

void PrintTo(const Case& edgeCase, std::ostream* out) {
    *out << edgeCase.name;
}

class EdgeCase : public testing::TestWithParam<Case> {};

TEST_P(EdgeCase, RendersWholePage) {
    const TempDir dir;
    writeFile(dir.path() / "t.c", GetParam().source);
    const RunResult run = runIn(dir.path(), vexilProgram(), {"t.c"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Opening file t.c\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(readFile(dir.path() / "t.c.html"), page("t.c", GetParam().body));
    EXPECT_EQ(readFile(dir.path() / "index.html"), index(indexEntry("t.c.html")));
}

INSTANTIATE_TEST_SUITE_P(Vexil, EdgeCase, testing::ValuesIn(cases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(VexilRun, NoArgumentsWritesStylesheetAndEmptyIndex) {
    const TempDir dir;
    const RunResult run = runIn(dir.path(), vexilProgram(), {});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Nothing to do\n");
    EXPECT_EQ(readFile(dir.path() / "c.css"), readFile(goldenDir() / "c.css"));
    EXPECT_EQ(readFile(dir.path() / "index.html"), index(""));
    EXPECT_EQ(listDir(dir.path()), (std::vector<std::string>{"c.css", "index.html"}));
}

TEST(VexilRun, MissingSecondFileEndsTheRun) {
    const TempDir dir;
    writeFile(dir.path() / "a.c", "int a;\n");
    writeFile(dir.path() / "c.c", "int c;\n");
    const RunResult run = runIn(dir.path(), vexilProgram(), {"a.c", "b.c", "c.c"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Opening file a.c\nOpening file b.c\n");
    EXPECT_EQ(readFile(dir.path() / "a.c.html"), page("a.c", res("int") + " " + sym("a") + op(";") + "\n"));
    EXPECT_EQ(readFile(dir.path() / "b.c.html"), "");
    EXPECT_EQ(readFile(dir.path() / "index.html"), index(indexEntry("a.c.html")));
    EXPECT_EQ(listDir(dir.path()),
              (std::vector<std::string>{"a.c", "a.c.html", "b.c.html", "c.c", "c.css", "index.html"}));
}

TEST(VexilRun, MissingFirstFileIsNothingToDo) {
    const TempDir dir;
    const RunResult run = runIn(dir.path(), vexilProgram(), {"a.c"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Opening file a.c\nNothing to do\n");
    EXPECT_EQ(readFile(dir.path() / "a.c.html"), "");
    EXPECT_EQ(readFile(dir.path() / "index.html"), index(""));
}

TEST(VexilRun, DirectoryCannotBeOpened) {
    const TempDir dir;
    fs::create_directory(dir.path() / "d.c");
    const RunResult run = runIn(dir.path(), vexilProgram(), {"d.c"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Opening file d.c\nNothing to do\n");
    EXPECT_EQ(readFile(dir.path() / "index.html"), index(""));
}

TEST(VexilRun, ReadFailureIsFatal) {
    const TempDir dir;
    // The program's own memory at address 0 cannot be read.
    fs::create_symlink("/proc/self/mem", dir.path() / "mem.c");
    const RunResult run = runIn(dir.path(), vexilProgram(), {"mem.c"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "Opening file mem.c\n");
    EXPECT_EQ(run.err, "input in flex scanner failed\n");
}

TEST(VexilRun, NamesAreEscapedInTitleAndIndex) {
    const TempDir dir;
    const std::string name = "a<b>&\"c.c";
    writeFile(dir.path() / name, "x;\n");
    const RunResult run = runIn(dir.path(), vexilProgram(), {name});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(readFile(dir.path() / (name + ".html")),
              page("a&lt;b&gt;&amp;\"c.c", sym("x") + op(";") + "\n"));
    EXPECT_EQ(
        readFile(dir.path() / "index.html"),
        index("<A HREF=\"a&lt;b&gt;&amp;&quot;c.c.html\" CLASS=\"dir\">a&lt;b&gt;&amp;\"c.c.html</A><BR>\n"));
}

TEST(VexilRun, SubmissionMatchesGoldenPages) {
    const TempDir dir;
    const fs::path sources = goldenDir() / "submission";
    const fs::path expected = goldenDir() / "submission-pages";
    for (const std::string& name : listDir(sources)) {
        fs::copy_file(sources / name, dir.path() / name);
    }
    const RunResult run = runIn(dir.path(), vexilProgram(), {"main.c", "list.c", "list.h"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, readFile(expected / "stdout.txt"));
    EXPECT_EQ(readFile(dir.path() / "c.css"), readFile(goldenDir() / "c.css"));
    std::vector<std::string> outputs{"c.css"};
    for (const std::string& name : listDir(expected)) {
        if (name != "stdout.txt") {
            EXPECT_EQ(readFile(dir.path() / name), readFile(expected / name)) << name;
            outputs.push_back(name);
        }
    }
    std::vector<std::string> all = listDir(sources);
    all.insert(all.end(), outputs.begin(), outputs.end());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(listDir(dir.path()), all);
}

} // namespace
} // namespace vexiltest
