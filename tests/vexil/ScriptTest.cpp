// The rendering script that the intake runs in an unpacked submission.

#include "VexilHarness.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace vexiltest {
namespace {

TEST(VexilScript, RendersSourcesAndHeadersInByteOrder) {
    const fs::path bash = "/bin/bash";
    if (!fs::exists(bash)) {
        std::puts("bash is not installed");
        std::exit(77);
    }
    const TempDir dir;
    for (const char* name : {"util.h", "Main.C", "b file.c", "Z.H", "notes.txt", "lib.cpp", "c"}) {
        writeFile(dir.path() / name, "x;\n");
    }
    fs::create_directory(dir.path() / "sub.c");

    const fs::path binDir = vexilProgram().parent_path();
    const RunResult run =
        runIn(dir.path(), bash, {(sourceDir() / "install" / "bin" / "vexil.sh").string(), binDir.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Opening file Main.C\nOpening file Z.H\nOpening file b file.c\nOpening file util.h\n");
    std::string entries;
    for (const std::string name : {"Main.C", "Z.H", "b file.c", "util.h"}) {
        EXPECT_EQ(readFile(dir.path() / (name + ".html")),
                  page(name, span("sym", "x") + span("op", ";") + "\n"));
        entries += indexEntry(name + ".html");
    }
    EXPECT_EQ(readFile(dir.path() / "index.html"), index(entries));
    EXPECT_EQ(readFile(dir.path() / "c.css"), readFile(goldenDir() / "c.css"));
}

} // namespace
} // namespace vexiltest
