// Hostile and unusual inputs: whatever a student submits, vexil ends normally, quickly, and writes only
// into its working directory.

#include "VexilHarness.h"

#include <chrono>
#include <gtest/gtest.h>

namespace vexiltest {
namespace {

using namespace std::string_literals;

constexpr std::size_t mebibyte = 1 << 20;

std::string repeat(std::string_view unit, std::size_t times) {
    std::string result;
    result.reserve(unit.size() * times);
    for (std::size_t i = 0; i < times; ++i) {
        result += unit;
    }
    return result;
}

// Runs vexil on the named sources in a working directory inside a fresh directory, and checks that nothing
// appeared beside the working directory.
class Sandbox {
public:
    Sandbox() { fs::create_directory(work()); }
    fs::path work() const { return root_.path() / "work"; }

    RunResult render(const std::vector<std::string>& names) {
        const RunResult run = runIn(work(), vexilProgram(), names);
        EXPECT_EQ(listDir(root_.path()), std::vector<std::string>{"work"});
        return run;
    }

    // Renders one source named t.c and checks its whole page.
    void expectBody(std::string_view source, std::string_view body) {
        writeFile(work() / "t.c", source);
        const auto start = std::chrono::steady_clock::now();
        const RunResult run = render({"t.c"});
        // Generous even for a sanitizer build; a scanner that rescans long lines takes hours here.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(readFile(work() / "t.c.html") == page("t.c", body)) << "page of t.c differs";
    }

private:
    TempDir root_;
};

TEST(VexilRobustness, EmptyFile) {
    Sandbox().expectBody("", "");
}

TEST(VexilRobustness, FileOfNulBytes) {
    Sandbox().expectBody(std::string(4096, '\0'), std::string(4096, '\0'));
}

TEST(VexilRobustness, BytesAbove127AreOneOperator) {
    std::string high;
    for (int byte = 128; byte < 256; ++byte) {
        high += static_cast<char>(byte);
    }
    Sandbox().expectBody(high, span("op", high));
}

TEST(VexilRobustness, CarriageReturnLineEnds) {
    Sandbox().expectBody("int a;\r// c\rint b;\r", span("res", "int") + " " + span("sym", "a") +
                                                       span("op", ";\r") + "// " + span("sym", "c") +
                                                       span("op", "\r") + span("res", "int") + " " +
                                                       span("sym", "b") + span("op", ";\r"));
}

TEST(VexilRobustness, MebibyteLineOfCode) {
    const std::size_t units = mebibyte / 5;
    Sandbox().expectBody(
        repeat("x+=1;", units) + "\n",
        repeat(span("sym", "x") + span("op", "+=") + span("num", "1") + span("op", ";"), units) + "\n");
}

TEST(VexilRobustness, MebibyteLineComment) {
    const std::string comment = "// " + std::string(mebibyte, 'a') + "\n";
    Sandbox().expectBody(comment, span("kom", comment));
}

TEST(VexilRobustness, MebibyteLastLineOfSlashes) {
    const std::string slashes(mebibyte, '/');
    Sandbox().expectBody("x // y " + slashes, span("sym", "x") + " // " + span("sym", "y") + " " + slashes);
}

TEST(VexilRobustness, MebibyteOfUnterminatedCharacterConstants) {
    const std::size_t units = mebibyte / 2;
    Sandbox().expectBody(repeat("'\\", units) + "\n", repeat("'" + span("op", "\\"), units) + "\n");
}

TEST(VexilRobustness, MebibyteWordAtEndOfFile) {
    const std::size_t units = mebibyte / 3;
    Sandbox().expectBody("x " + repeat("ab1", units),
                         span("sym", "x") + " " + repeat("ab" + span("num", "1"), units));
}

TEST(VexilRobustness, MebibyteUnclosedIncludeName) {
    const std::string name(mebibyte, 'a');
    Sandbox().expectBody("#include \"" + name, "<SPAN CLASS=\"dir\">#include \"" + name);
}

TEST(VexilRobustness, UnterminatedCommentAndStringAtEndOfFile) {
    Sandbox().expectBody("/* a", "<SPAN CLASS=\"kom\">/* a");
    Sandbox().expectBody("\"a\\", "<SPAN CLASS=\"str\">\"a\\");
}

TEST(VexilRobustness, NameWithBlanks) {
    Sandbox box;
    writeFile(box.work() / "my file.c", "x;\n");
    const RunResult run = box.render({"my file.c"});
    EXPECT_EQ(run.out, "Opening file my file.c\n");
    EXPECT_EQ(readFile(box.work() / "my file.c.html"),
              page("my file.c", span("sym", "x") + span("op", ";") + "\n"));
    EXPECT_EQ(readFile(box.work() / "index.html"), index(indexEntry("my file.c.html")));
}

TEST(VexilRobustness, LongNames) {
    // A single name component may have at most 255 bytes, so long names run through subdirectories.
    for (const std::size_t length : {994, 3000}) {
        Sandbox box;
        const std::string directories = repeat(std::string(99, 'd') + "/", (length - 10) / 100);
        const std::string name = directories + std::string(length - directories.size() - 2, 'n') + ".c";
        ASSERT_EQ(name.size(), length);
        fs::create_directories(box.work() / directories);
        writeFile(box.work() / name, "x;\n");
        const RunResult run = box.render({name});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(readFile(box.work() / (name + ".html")),
                  page(name, span("sym", "x") + span("op", ";") + "\n"));
        EXPECT_EQ(readFile(box.work() / "index.html"), index(indexEntry(name + ".html")));
    }
}

TEST(VexilRobustness, TwoHundredFiles) {
    Sandbox box;
    std::vector<std::string> names;
    std::string entries;
    for (int i = 0; i < 200; ++i) {
        names.push_back("f" + std::to_string(1000 + i) + ".c");
        writeFile(box.work() / names.back(), "int f" + std::to_string(i) + ";\n");
        entries += indexEntry(names.back() + ".html");
    }
    const RunResult run = box.render(names);
    EXPECT_EQ(run.status, 0);
    for (int i = 0; i < 200; ++i) {
        const std::string body =
            span("res", "int") + " " + span("sym", "f" + std::to_string(i)) + span("op", ";") + "\n";
        EXPECT_EQ(readFile(box.work() / (names[i] + ".html")), page(names[i], body));
    }
    EXPECT_EQ(readFile(box.work() / "index.html"), index(entries));
}

} // namespace
} // namespace vexiltest
