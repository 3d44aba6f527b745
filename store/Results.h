#pragma once
// Result sections "Z<T>" of students/<sid>/student.dat: one task type of one student.

#include "store/Database.h"
#include "store/RecordSection.h"

#include <string>

namespace tarvel {

struct ResultRecord {
    std::string task;      // task type name <T>
    std::string studentId; // <sid>
    std::string mod;       // the assigned variant
    int ver = 0;
    int pts = 0;
    int whend = 0;
    int whenm = 0;
    int wheny = 0;
    int late = 0;
    int StylHotovo = 0;
    int vlBreak = 0;
    int vlContinue = 0;
    int vlDynamickePremenne = 0;
    int vlGoto = 0;
    int vlMaxDlzkaFunkcie = 0;
    int vlPercentoKomentarov = 0;
    int vlPocetPoruseniZarovnania = 0;
    int vlPriemernaDlzkaFunkcie = 0;
    int vlViacPrikazovNaRiadok = 0;
    int vlDlzka = 0;
    int vlPocetRiadkov = 0;
};

inline constexpr const char* kPreprocessedFileKey = "Preprocessor's output file";
// The result code of the last build-and-test run of the submission (runner/RunResult.h).
inline constexpr const char* kTestResultKey = "test";

RecordSection ResultSection(Database& db, const std::string& studentId, const std::string& task);
RecordSection ResultSection(Database& db, const ResultRecord& result);
// "students/<sid>/<T>", relative to the database directory.
std::string SubmissionDirectory(const ResultRecord& result);

// Set lastOk: the submission directory was created (it must not exist yet). Writes nothing to the record
// file.
bool CreateResult(Database& db, const std::string& task, const std::string& studentId,
                  const std::string& variant, ResultRecord& out);
// Sets lastOk: mod, ver, pts and the four date keys were all read; absent metrics read as 0.
bool LoadResult(Database& db, const std::string& task, const std::string& studentId, ResultRecord& out);
// Writes mod, ver, pts, whend, whenm, wheny, late in one rewrite. Sets lastOk.
bool SaveResult(Database& db, const ResultRecord& result);
// Writes the eleven style figures (the vl… fields) in one rewrite. Sets lastOk.
bool SaveStyleFigures(Database& db, const ResultRecord& result);
// Do not set lastOk.
bool SavePoints(Database& db, const std::string& studentId, const std::string& task,
                const std::string& points);
bool HasResult(Database& db, const std::string& studentId, const std::string& task);
// Removes the section and the submission directory tree. Sets lastOk.
bool RemoveResult(Database& db, const std::string& studentId, const std::string& task);

} // namespace tarvel
