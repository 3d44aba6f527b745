#pragma once
// A database with one student (id 5) who submitted task 1, variant "a", and the installation's compiler
// directory and sandbox step copied into the test's temporary directory as the installation copies them.

#include "runner/TestRunner.h"
#include "shell/Config.h"
#include "store/Database.h"
#include "support/Paths.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace tarvel::testing {

class RunnerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HasTool("cc") || !HasTool("make")) {
            std::printf("The runner's tests need the system's cc and make.\n");
            std::exit(77);
        }
        namespace fs = std::filesystem;
        fs::copy(SourceDir() + "/install/bcc", dir / "bcc", fs::copy_options::recursive);
        fs::create_directories(WorkDirectory());
        fs::create_directories(dir / "db/tasks");
        fs::create_directories(dir / "tmp");
        fs::create_directories(dir / "bin");
        fs::copy(ProgramPath("zorbox"), dir / "bin/zorbox");
        ASSERT_TRUE(WriteConfig(ConfigPath(), "dbase", "bccpath", dir / "bcc/"));
        database.UsePath(dir / "db");
        result.task = "1";
        result.studentId = "5";
        result.mod = "a";
    }

    std::string ConfigPath() const { return dir / "zor.ini"; }
    std::string WorkDirectory() const { return dir / "db/students/5/1"; }
    std::string InputFile() const { return dir / "db/tasks/t1ma.in"; }
    std::string PatternFile() const { return dir / "db/tasks/t1ma.out"; }
    // The installation: bin/zorbox, and tmp/ where an unsandboxed program runs.
    std::string ZorPath() const { return dir.Path(); }

    void Submit(const std::string& name, const std::string& content) {
        WriteBytes(WorkDirectory() + "/" + name, content);
    }
    void Variant(const std::string& input, const std::string& pattern) {
        WriteBytes(InputFile(), input);
        WriteBytes(PatternFile(), pattern);
    }
    int Run() {
        TestRunner runner(database, ConfigPath(), result, ZorPath());
        return runner.Run();
    }

    TempDir dir;
    Database database{dir / "zor.ini"};
    ResultRecord result;
};

} // namespace tarvel::testing
