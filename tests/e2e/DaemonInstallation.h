#pragma once
// A real installation (support/Installation.h) for the receiving daemon against the private mail servers, its
// zor.ini naming the servers and the mailbox "zor". Beside it: students' submissions sent by
// a real mail program (Python's smtplib, tests/e2e/send_submission.py) and zord started as a process.

#include "e2e/MailServers.h"
#include "support/Installation.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace tarvel::testing {

class DaemonInstallation : public ::testing::Test, public Installation {
protected:
    DaemonInstallation() : servers(RunningMailServers()) {}

    void SetUp() override {
        namespace fs = std::filesystem;
        if (!HasTool("python3") || !HasTool("cc") || !HasTool("make") || !fs::exists(ProgramPath("zord")) ||
            !fs::exists(ProgramPath("vexil"))) {
            std::printf("skipped: needs python3, cc, make and the built zord and vexil\n");
            std::exit(77);
        }
        for (const char* user : {"zor", "student1", "student2", "student3"}) {
            EmptyMailbox(servers, user);
        }
        ASSERT_NO_FATAL_FAILURE(CreateInstallation());
        ASSERT_TRUE(WriteConfig(ConfigPath(), "mails", "pop3", servers.pop3));
        ASSERT_TRUE(WriteConfig(ConfigPath(), "mails", "smtp", servers.smtp));
        ASSERT_TRUE(WriteConfig(ConfigPath(), "mails", "user", "zor"));
        ASSERT_TRUE(WriteConfig(ConfigPath(), "mails", "pass", servers.password, true));
    }

    StudentRecord AddStudentNamed(const std::string& unid, const std::string& name,
                                  const std::string& surname, const std::string& mailUser) {
        return Installation::AddStudentNamed(unid, name, surname, servers.Address(mailUser));
    }

    // A directory with the student's files and the identity file, as the student zips it.
    std::string SubmissionFolder(const std::string& label, const StudentRecord& student,
                                 const std::string& task,
                                 const std::vector<std::pair<std::string, std::string>>& files) {
        const std::string folder = dir / ("outbox/" + label);
        std::filesystem::create_directories(folder);
        for (const auto& [name, content] : files) {
            WriteBytes(folder + "/" + name, content);
        }
        WriteBytes(folder + "/identity.dat",
                   "[IDZ]\r\nUNID=" + student.unid + "\r\nID=" + student.id + "\r\nTID=" + task + "\r\n");
        return folder;
    }

    // Sends through the real SMTP server with Python's smtplib; form is uuencode, mime or plain.
    void SendAsStudent(const std::string& mailUser, const std::string& form, const std::string& folder = {},
                       bool dotLine = false) {
        const std::string command = "python3 " + SourceDir() + "/tests/e2e/send_submission.py " +
                                    servers.smtp + " " + servers.Address(mailUser) + " " +
                                    servers.Address("zor") + " " + form + " " + folder +
                                    (dotLine ? " --dot-line" : "");
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    std::string ResultValue(const StudentRecord& student, const std::string& task, const std::string& key) {
        std::string value = "(missing)";
        ResultSection(db, student.id, task).ReadString(key, value);
        return value;
    }

    MailServers servers;
};

// zord as a process of its own, standard output and error into files of the test's directory.
class ZordProcess {
public:
    ZordProcess(const std::string& configPath, const std::string& outputPath)
        : outputPath_(outputPath), errorPath_(outputPath + ".err") {
        pid_ = ::fork();
        if (pid_ == 0) {
            const int out = ::open(outputPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            const int err = ::open(errorPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            ::dup2(out, 1);
            ::dup2(err, 2);
            const std::string program = ProgramPath("zord");
            ::execl(program.c_str(), "zord", "--config", configPath.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~ZordProcess() {
        if (pid_ > 0) {
            Stop(SIGKILL);
        }
    }
    ZordProcess(const ZordProcess&) = delete;
    ZordProcess& operator=(const ZordProcess&) = delete;

    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        const std::string text = ReadBytes(outputPath_);
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = text.find('\n', start);
            if (end == std::string::npos) {
                break;
            }
            lines.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        return lines;
    }
    std::string Errors() const { return ReadBytes(errorPath_); }

    bool WaitForLines(std::size_t count, std::chrono::seconds limit) const {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (Lines().size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return Lines().size() >= count;
    }

    // Sends the signal and waits for the end: the exit code, or 128 + the signal that ended it.
    int Stop(int signal) {
        ::kill(pid_, signal);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    std::string outputPath_;
    std::string errorPath_;
    pid_t pid_ = -1;
};

} // namespace tarvel::testing
