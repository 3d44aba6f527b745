// Submissions written as a student who wants to cheat or to harm would write them: programs and makefiles
// that look for the answer key, the classmates' work and the daemon's secrets, reach for the network, signal
// the daemon, hold memory beyond the limits, and leave links for the daemon to write through. Each runs the
// real build and test in the real sandbox.

#include "LeftoverProcesses.h"
#include "RunnerFixture.h"
#include "analysis/StyleMetrics.h"
#include "runner/RunResult.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvel {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

// Prints "found <path>" for each of the paths given as PATHS that it can open, else "none".
constexpr const char* kSnoop = R"(#include <stdio.h>
int main(void) {
    const char* paths[] = {PATHS, 0};
    int i, found = 0;
    for (i = 0; paths[i]; i++) {
        FILE* f = fopen(paths[i], "r");
        if (f) { printf("found %s\n", paths[i]); fclose(f); found = 1; }
    }
    if (!found) puts("none");
    return 0;
}
)";

// A key a program could only know by reading the expected output.
constexpr const char* kAnswer = "secret 42";

class HostileSubmissionTest : public testing::RunnerFixture {
protected:
    void SetUp() override {
        RunnerFixture::SetUp();
        if (!SandboxWorks()) {
            GTEST_SKIP() << "no sandbox can be made here (bwrap missing or namespaces refused)";
        }
        // As a teacher's installation is: readable to every user of the machine.
        std::filesystem::permissions(dir.Path(), std::filesystem::perms(0755));
        WriteBytes(dir / "db/students.dat", "[s]\r\n12345=5\r\n23456=6\r\n");
        std::filesystem::create_directories(dir / "db/students/6/1");
        WriteBytes(dir / "db/students/6/1/main.c", "int classmate;\n");
        std::filesystem::create_directories(dir / "mail/done");
        WriteBytes(dir / "mail/done/classmate.mail", "+OK\r\n.\r\n");
        ASSERT_TRUE(WriteConfig(ConfigPath(), "mails", "user", "zor-marker-4711"));
    }
    std::string Quoted(const std::string& path) { return "\"" + path + "\""; }
    std::string Snoop(const std::vector<std::string>& paths) {
        std::string list;
        for (const std::string& path : paths) {
            list += (list.empty() ? "" : ", ") + Quoted(path);
        }
        return "#define PATHS " + list + "\n" + kSnoop;
    }
    // A TCP port of this process that answers on 127.0.0.1, as the mail servers do.
    int Listen(int& socketFd) {
        socketFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(socketFd, 4) != 0 ||
            ::getsockname(socketFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return -1;
        }
        return ntohs(address.sin_port);
    }
};

TEST_F(HostileSubmissionTest, TheAnswerKeyIsOutOfSightByEveryPath) {
    Variant("", std::string("%C") + kAnswer + "\n");
    // The program prints the expected output without its "%C" wherever it finds it.
    Submit("main.c", R"(#include <stdio.h>
int main(void) {
    const char* paths[] = {"../db/tasks/t1ma.out", "../../db/tasks/t1ma.out", "../../../tasks/t1ma.out",
                           "../../../../tasks/t1ma.out", "db/tasks/t1ma.out", ")" +
                         PatternFile() + R"(", "/proc/1/cwd/../tasks/t1ma.out", 0};
    int i, c;
    for (i = 0; paths[i]; i++) {
        FILE* f = fopen(paths[i], "r");
        if (!f) continue;
        fgetc(f); fgetc(f);
        while ((c = fgetc(f)) != EOF) putchar(c);
        return 0;
    }
    return 0;
}
)");
    EXPECT_EQ(Run(), kRunOutputMismatch);
    EXPECT_EQ(ReadBytes(WorkDirectory() + "/tmp.txt"), "");
}

TEST_F(HostileSubmissionTest, ClassmatesTheDatabaseTheConfigurationAndTheMailAreOutOfSight) {
    Variant("", "%Cnone\n");
    Submit("main.c", Snoop({dir / "db/students/6/1/main.c", dir / "db/students.dat", ConfigPath(),
                            dir / "mail/done/classmate.mail", "../db/students/6/1/main.c", "../../6/1/main.c",
                            "/etc/passwd", "/etc/shadow", "/root/.bashrc",
                            std::string(std::getenv("HOME") ?: "/") + "/.profile"}));
    EXPECT_EQ(Run(), kRunPassed) << ReadBytes(WorkDirectory() + "/tmp.txt");
}

TEST_F(HostileSubmissionTest, TheProgramHasNoNetwork) {
    int server = -1;
    const int port = Listen(server);
    ASSERT_GT(port, 0);
    Variant("", "%Cnone\n");
    Submit("main.c",
           "#include <stdio.h>\n#include <arpa/inet.h>\n#include <sys/socket.h>\n"
           "int main(void) {\n"
           "    struct sockaddr_in a = {0};\n"
           "    int s = socket(AF_INET, SOCK_STREAM, 0);\n"
           "    a.sin_family = AF_INET; a.sin_port = htons(" +
               std::to_string(port) +
               ");\n"
               "    a.sin_addr.s_addr = htonl(0x7f000001);\n"
               "    puts(connect(s, (struct sockaddr*)&a, sizeof a) == 0 ? \"connected\" : \"none\");\n"
               "    return 0;\n}\n");
    EXPECT_EQ(Run(), kRunPassed) << ReadBytes(WorkDirectory() + "/tmp.txt");
    ::close(server);
}

TEST_F(HostileSubmissionTest, TheProgramCannotSignalTheDaemonOrWhatRunsIt) {
    Variant("", "%Cnone\n");
    Submit("main.c", "#include <stdio.h>\n#include <signal.h>\n#include <unistd.h>\n"
                     "int main(void) {\n"
                     "    kill(" +
                         std::to_string(getpid()) +
                         ", SIGKILL);\n"
                         "    kill(getppid(), SIGKILL); kill(getppid(), SIGSTOP); kill(1, SIGKILL);\n"
                         "    puts(\"none\");\n"
                         "    return 0;\n}\n");
    EXPECT_EQ(Run(), kRunPassed) << ReadBytes(WorkDirectory() + "/tmp.txt");
}

TEST_F(HostileSubmissionTest, MemoryHeldInMemfdsIsLimited) {
    if (SandboxMemoryCgroup() == nullptr) {
        GTEST_SKIP() << "no memory cgroup can be made here: memfds are bounded only per file (see README)";
    }
    Variant("", "%f 42\n");
    Submit("main.c", "#define _GNU_SOURCE\n#include <stdio.h>\n#include <string.h>\n#include <sys/mman.h>\n"
                     "#include <unistd.h>\n"
                     "static char block[1 << 20];\n"
                     "int main(void) {\n"
                     "    int i, j, held = 0;\n"
                     "    printf(\"42\\n\"); fflush(stdout);\n"
                     "    memset(block, 'x', sizeof block);\n"
                     "    for (i = 0; i < 16; i++) {\n"
                     "        int fd = memfd_create(\"hold\", 0);\n"
                     "        for (j = 0; j < 64; j++)\n"
                     "            if (write(fd, block, sizeof block) == sizeof block) held++;\n"
                     "    }\n"
                     "    printf(\"held %d\\n\", held);\n"
                     "    return 0;\n}\n");
    EXPECT_EQ(Run(), kRunPassed);
    EXPECT_EQ(ReadBytes(WorkDirectory() + "/tmp.txt").find("held 1024"), std::string::npos);
}

TEST_F(HostileSubmissionTest, SharedMemoryIsGoneAfterTheRun) {
    constexpr int kKey = 0x54415256;
    Variant("", "%Cnone\n");
    Submit("main.c", "#include <stdio.h>\n#include <string.h>\n#include <sys/shm.h>\n"
                     "int main(void) {\n"
                     "    int id = shmget(" +
                         std::to_string(kKey) +
                         ", 1 << 20, IPC_CREAT | 0666);\n"
                         "    char* p = id >= 0 ? shmat(id, 0, 0) : 0;\n"
                         "    if (p && p != (char*)-1) memset(p, 1, 1 << 20);\n"
                         "    puts(\"none\");\n"
                         "    return 0;\n}\n");
    EXPECT_EQ(Run(), kRunPassed);
    std::ifstream segments("/proc/sysvipc/shm");
    std::string line;
    std::getline(segments, line); // the heading
    while (std::getline(segments, line)) {
        EXPECT_NE(std::atoll(line.c_str()), kKey) << line;
    }
    // A segment that escaped must not fail the next run as well.
    const int escaped = ::shmget(kKey, 0, 0);
    if (escaped >= 0) {
        ::shmctl(escaped, IPC_RMID, nullptr);
    }
}

TEST_F(HostileSubmissionTest, LinksLeftByAMakefileNeverRedirectTheDaemonsWrites) {
    WriteBytes(dir / "canary.txt", "canary\n");
    WriteBytes(dir / "setuid-program", "#!/bin/sh\n");
    ::chmod((dir / "setuid-program").c_str(), 04755);
    Submit("main.c", "#include <stdio.h>\nint main(void) { puts(\"sum 5\"); return 0; }\n");
    const std::string canary = dir / "canary.txt";
    const std::string setuid = dir / "setuid-program";
    Submit("prog.mak", "prog.exe: main.c\n"
                       "\tbcc.exe -eprog.exe main.c\n"
                       "\tln -sf " +
                           canary +
                           " tmp.txt\n"
                           "\tln -sf " +
                           canary +
                           " build.txt\n"
                           "\tln -sf " +
                           setuid +
                           " ppf.ppf\n"
                           "\tln -sf " +
                           setuid +
                           " out.txt\n"
                           "\tln -sf " +
                           canary + " main.exe.lnk\n");
    Variant("", "%Csum 5\n");
    EXPECT_EQ(Run(), kRunPassed);
    AnalyzeSubmission(database, result);

    EXPECT_EQ(ReadBytes(canary), "canary\n");
    EXPECT_EQ(ReadBytes(setuid), "#!/bin/sh\n");
    for (const auto& entry : std::filesystem::directory_iterator(WorkDirectory())) {
        struct stat info {};
        ASSERT_EQ(::lstat(entry.path().c_str(), &info), 0);
        EXPECT_TRUE(S_ISREG(info.st_mode)) << entry.path();
        EXPECT_EQ(info.st_mode & (S_ISUID | S_ISGID), 0u) << entry.path();
    }
    EXPECT_EQ(ReadBytes(WorkDirectory() + "/tmp.txt"), "sum 5\n");
}

TEST_F(HostileSubmissionTest, AMakefileCannotChangeTheStoredSources) {
    const std::string source = "#include <stdio.h>\nint main(void) { puts(\"sum 5\"); return 0; }\n";
    Submit("main.c", source);
    Submit("notes.txt", "notes\n");
    Submit("prog.mak", "prog.exe: main.c\n"
                       "\tbcc.exe -eprog.exe main.c\n"
                       "\techo 'int other;' > main.c\n"
                       "\trm -f notes.txt\n"
                       "\techo 'int evil;' > evil.c\n");
    Variant("", "%Csum 5\n");
    EXPECT_EQ(Run(), kRunPassed);
    EXPECT_EQ(ReadBytes(WorkDirectory() + "/main.c"), source);
    EXPECT_EQ(ReadBytes(WorkDirectory() + "/notes.txt"), "notes\n");
    EXPECT_FALSE(std::filesystem::exists(WorkDirectory() + "/evil.c"));
    EXPECT_FALSE(std::filesystem::exists(ZorPath() + "/tmp/build"));
}

TEST_F(HostileSubmissionTest, AMakefileSeesNoSecretsNoNetworkAndABoundedTmp) {
    int server = -1;
    const int port = Listen(server);
    ASSERT_GT(port, 0);
    Submit("main.c", "#include <stdio.h>\nint main(void) { puts(\"sum 5\"); return 0; }\n");
    Submit("prog.mak", "prog.exe: main.c\n"
                       "\t@-cat " +
                           ConfigPath() + " " + (dir / "db/students.dat") +
                           "\n"
                           "\t@-bash -c 'exec 3<>/dev/tcp/127.0.0.1/" +
                           std::to_string(port) +
                           " && echo connected'\n"
                           "\t@-head -c 40000000 /dev/zero > /tmp/a\n"
                           "\t@-head -c 40000000 /dev/zero > /tmp/b\n"
                           "\t@cat /tmp/a /tmp/b | wc -c | sed 's/^/tmp holds /'; rm -f /tmp/a /tmp/b\n"
                           "\t@-kill -STOP 1; kill -9 1; kill -9 " +
                           std::to_string(getpid()) +
                           "\n"
                           "\tbcc.exe -eprog.exe main.c\n");
    Variant("", "%Csum 5\n");
    EXPECT_EQ(Run(), kRunPassed) << ReadBytes(WorkDirectory() + "/build.txt");
    const std::string log = ReadBytes(WorkDirectory() + "/build.txt");
    EXPECT_EQ(log.find("zor-marker-4711"), std::string::npos) << log;
    EXPECT_EQ(log.find("23456=6"), std::string::npos) << log;
    EXPECT_EQ(log.find("connected"), std::string::npos) << log;
    const std::size_t held = log.find("tmp holds ");
    ASSERT_NE(held, std::string::npos) << log;
    EXPECT_LE(std::atoll(log.c_str() + held + 10), kSandboxDirectoryBytes) << log;
    EXPECT_TRUE(testing::ProcessesUnder(dir.Path()).empty());
    ::close(server);
}

} // namespace
} // namespace tarvel
