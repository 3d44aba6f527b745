#pragma once
// A real installation in a temporary directory, laid out as the install script lays it out: a database made
// from the template, bin/ with the rendering script and the built renderer, the compiler directory and the
// scratch directory. Two students, task 1 with variant "a" assigned to both, task 2 assigned to none. The
// clock is fixed and the verdict mails are recorded instead of sent.

#include "mail/Intake.h"
#include "mail/Verdict.h"
#include "shell/Config.h"
#include "store/Results.h"
#include "store/Students.h"
#include "store/Tasks.h"

#include "mail/SubmissionMail.h"
#include "mail/ZipBuilder.h"
#include "support/Installation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tarvel::testing {

// 15 January 2025, 10:00:00 UTC.
inline constexpr std::time_t kMailTime = 1736935200;

struct SentMail {
    std::string host;
    std::string from;
    std::string to;
    std::string message;
};

// Every file below a directory with its bytes, the store's lock file left out.
inline std::map<std::string, std::string> Snapshot(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string relative = std::filesystem::relative(entry.path(), root).string();
        if (entry.path().filename() == ".tarvel.lock") {
            continue;
        }
        files[relative] = entry.is_regular_file() ? ReadBytes(entry.path().string()) : "<directory>";
    }
    return files;
}

// A zip with the program and the identity file.
inline std::string ZipOf(const StudentRecord& student, const std::string& task,
                         std::string_view program = kSumProgram) {
    return ZipBuilder()
        .Deflated("main.c", std::string(program))
        .File("identity.dat", IdentityFile(student.unid, student.id, task))
        .Bytes();
}

// The zip uuencoded in a plain mail, as FetchMail returns it.
inline std::string MailOf(const std::string& zip) {
    return RetrievalText(UuencodedMail(zip));
}

class IntakeTest : public ::testing::Test, public Installation {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        if (!HasTool("cc") || !HasTool("make") || !HasTool("bash") || !fs::exists(ProgramPath("vexil"))) {
            std::printf("The intake's tests need cc, make, bash and the built vexil (%s).\n",
                        ProgramPath("vexil").c_str());
            std::exit(77);
        }
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        ASSERT_NO_FATAL_FAILURE(CreateInstallation());

        // "Ján Novák" and "Eva Kováčová" in Windows-1250.
        jan = AddStudentNamed("12345", "J\xE1n", "Nov\xE1k", "12345@tarvel.test");
        eva = AddStudentNamed("23456", "Eva", "Kov\xE1\xE8ov\xE1", "23456@tarvel.test");
        AddSumTask("1", 2025, 2, 28);
        AddSumTask("2", 2024, 12, 31);
        Assign(jan, "1", "a");
        Assign(eva, "1", "a");
    }

    Submission Process(const std::string& mailText) {
        Submission submission;
        IntakeSubmission(intake, mailText, submission);
        RunVerdictStage(verdict, submission);
        return submission;
    }

    ResultRecord Result(const StudentRecord& student, const std::string& task) {
        ResultRecord result;
        EXPECT_TRUE(LoadResult(db, task, student.id, result));
        return result;
    }

    int ResultKey(const StudentRecord& student, const std::string& task, const std::string& key) {
        int value = kIntSentinel;
        ResultSection(db, student.id, task).ReadInt(key, value);
        return value;
    }

    std::vector<std::string> SubmissionFiles(const StudentRecord& student, const std::string& task) const {
        std::vector<std::string> names;
        for (const auto& entry :
             std::filesystem::directory_iterator(Db("students/" + student.id + "/" + task))) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    StudentRecord jan;
    StudentRecord eva;
    LocalDate today{15, 1, 2025};
    std::vector<SentMail> sent;
    IntakeContext intake{db, ZorPath(), [this] { return today; }};
    VerdictContext verdict{db,
                           ConfigPath(),
                           ZorPath(),
                           "127.0.0.1:2525",
                           "zor",
                           "127.0.0.1:2110",
                           [] { return kMailTime; },
                           [this](const std::string& host, const std::string& from, const std::string& to,
                                  const std::string& message, std::string&) {
                               sent.push_back({host, from, to, message});
                               return 1;
                           }};
};

} // namespace tarvel::testing
