#pragma once
// A database in a temporary directory with students whose submissions of task type "1", variant "a", are on
// the variant's accepted list: what the analysis meets in a real run.

#include "platform/FileOps.h"
#include "store/Database.h"
#include "store/Results.h"
#include "store/Students.h"
#include "store/Tasks.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tarvel::testing {

inline constexpr const char* kTask = "1";
inline constexpr const char* kVariant = "a";

// Converts LF line ends to the CR LF that files written in Windows text mode carry.
inline std::string Crlf(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') {
            out.push_back('\r');
        }
        out.push_back(c);
    }
    return out;
}

using SourceFiles = std::vector<std::pair<std::string, std::string>>;

class AnalysisDatabase {
public:
    AnalysisDatabase() : db_(dir_ / "zor.ini") {
        const std::string root = dir_ / "db";
        MakeDirectories(root + "/students");
        MakeDirectories(root + "/tasks");
        WriteBytes(root + "/students.dat", "[id]\r\nid=1\r\n");
        db_.UsePath(root);
    }

    Database& Db() { return db_; }

    // A student with the result of task "1" assigned, the given files as the submission and, when `accepted`,
    // the UNI ID on the variant's accepted list.
    ResultRecord AddSubmission(const std::string& unid, const SourceFiles& files, bool accepted = true) {
        StudentRecord student;
        EXPECT_TRUE(AddStudent(db_, unid, "Meno", "Priezvisko", unid + "@example.com", "1", "1", student));
        ResultRecord result;
        EXPECT_TRUE(CreateResult(db_, kTask, student.id, kVariant, result));
        EXPECT_TRUE(SaveResult(db_, result));
        for (const auto& [name, content] : files) {
            WriteBytes(SubmissionPath(result, name), content);
        }
        if (accepted) {
            EXPECT_TRUE(AddAccepted(VariantSet{&db_, kTask}, kVariant, unid));
        }
        return result;
    }

    std::string SubmissionPath(const ResultRecord& result, const std::string& name = {}) {
        const std::string directory = db_.AbsolutePath(SubmissionDirectory(result));
        return name.empty() ? directory : directory + "/" + name;
    }

    // A stored integer of the result section, or nullopt when the key is absent.
    std::optional<int> StoredInt(const ResultRecord& result, const std::string& key) {
        int value = 0;
        if (!ResultSection(db_, result).ReadInt(key, value)) {
            return std::nullopt;
        }
        return value;
    }

private:
    TempDir dir_;
    Database db_;
};

} // namespace tarvel::testing
