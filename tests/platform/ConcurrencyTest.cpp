#include "platform/Profile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tarvel {
namespace {

using testing::TempDir;

constexpr int kWritesPerWriter = 2000;

// Writes keys "<prefix>0".."<prefix>9" round-robin, each with the running count as its value.
void WriteOwnKeys(const std::string& file, const std::string& lock, const std::string& prefix) {
    for (int i = 0; i < kWritesPerWriter; ++i) {
        WriteProfileValue(file, lock, "shared", prefix + std::to_string(i % 10), std::to_string(i));
    }
}

void ExpectEveryLastValue(const std::string& file, const std::vector<std::string>& prefixes) {
    ProfileDocument document;
    ASSERT_TRUE(LoadProfile(file, document));
    for (const auto& prefix : prefixes) {
        for (int key = 0; key < 10; ++key) {
            EXPECT_EQ(document.Get("shared", prefix + std::to_string(key)),
                      std::to_string(kWritesPerWriter - 10 + key))
                << prefix << key;
        }
    }
}

TEST(RecordConcurrency, TwoThreadsKeepEachOthersKeys) {
    TempDir dir;
    const std::string file = dir / "student.dat";
    std::thread first(WriteOwnKeys, file, dir / ".lock", "gui");
    std::thread second(WriteOwnKeys, file, dir / ".lock", "daemon");
    first.join();
    second.join();
    ExpectEveryLastValue(file, {"gui", "daemon"});
}

TEST(RecordConcurrency, TwoProcessesKeepEachOthersKeys) {
    TempDir dir;
    const std::string file = dir / "student.dat";
    std::vector<pid_t> children;
    for (const char* prefix : {"first", "second"}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            WriteOwnKeys(file, dir / ".lock", prefix);
            ::_exit(0);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ExpectEveryLastValue(file, {"first", "second"});
}

TEST(RecordConcurrency, KilledWriterNeverLeavesAHalfWrittenFile) {
    TempDir dir;
    const std::string file = dir / "r.dat";
    const std::string value(300, 'v');
    ASSERT_TRUE(WriteProfileValue(file, dir / ".lock", "s", "seed", value));
    for (int round = 0; round < 40; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) {
                WriteProfileValue(file, dir / ".lock", "s", "k" + std::to_string(i % 50), value);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500 + (round * 977) % 20000));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);

        ProfileDocument document;
        ASSERT_TRUE(LoadProfile(file, document));
        const std::string& bytes = document.Bytes();
        ASSERT_GE(bytes.size(), 2u);
        ASSERT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << "round " << round;
        for (const auto& key : document.Keys("s")) {
            ASSERT_EQ(document.Get("s", key), value) << "round " << round << " key " << key;
        }
    }
}

} // namespace
} // namespace tarvel
