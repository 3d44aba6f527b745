#include "store/Results.h"

#include "store/Students.h"

namespace tarvel {
namespace {

struct MetricKey {
    const char* key;
    int ResultRecord::*field;
};

// Read with every result; absent ones stay 0 and do not make the load fail. Only the analysis writes them.
constexpr MetricKey kStyleFigureKeys[] = {
    {"vlBreak", &ResultRecord::vlBreak},
    {"vlContinue", &ResultRecord::vlContinue},
    {"vlDynamickePremenne", &ResultRecord::vlDynamickePremenne},
    {"vlGoto", &ResultRecord::vlGoto},
    {"vlMaxDlzkaFunkcie", &ResultRecord::vlMaxDlzkaFunkcie},
    {"vlPercentoKomentarov", &ResultRecord::vlPercentoKomentarov},
    {"vlPocetPoruseniZarovnania", &ResultRecord::vlPocetPoruseniZarovnania},
    {"vlPriemernaDlzkaFunkcie", &ResultRecord::vlPriemernaDlzkaFunkcie},
    {"vlViacPrikazovNaRiadok", &ResultRecord::vlViacPrikazovNaRiadok},
    {"vlDlzka", &ResultRecord::vlDlzka},
    {"vlPocetRiadkov", &ResultRecord::vlPocetRiadkov},
};

constexpr MetricKey kSavedIntegers[] = {
    {"ver", &ResultRecord::ver},     {"pts", &ResultRecord::pts},     {"whend", &ResultRecord::whend},
    {"whenm", &ResultRecord::whenm}, {"wheny", &ResultRecord::wheny}, {"late", &ResultRecord::late},
};

} // namespace

RecordSection ResultSection(Database& db, const std::string& studentId, const std::string& task) {
    return RecordSection{&db, StudentFile(studentId), "Z" + task};
}

RecordSection ResultSection(Database& db, const ResultRecord& result) {
    return ResultSection(db, result.studentId, result.task);
}

std::string SubmissionDirectory(const ResultRecord& result) {
    return "students/" + result.studentId + "/" + result.task;
}

bool CreateResult(Database& db, const std::string& task, const std::string& studentId,
                  const std::string& variant, ResultRecord& out) {
    out = ResultRecord{};
    out.task = task;
    out.studentId = studentId;
    out.mod = variant;
    out.pts = -1;
    return db.MakeDirectory(SubmissionDirectory(out));
}

bool LoadResult(Database& db, const std::string& task, const std::string& studentId, ResultRecord& out) {
    ResultRecord result;
    result.task = task;
    result.studentId = studentId;
    SectionReader reader;
    bool ok = ResultSection(db, result).Load(reader) && reader.ReadString("mod", result.mod);
    for (const auto& [key, field] : kSavedIntegers) {
        ok = ok && reader.ReadInt(key, result.*field);
    }
    if (ok) {
        reader.ReadInt("StylHotovo", result.StylHotovo);
        for (const auto& [key, field] : kStyleFigureKeys) {
            reader.ReadInt(key, result.*field);
        }
    }
    out = result;
    return db.Report(ok);
}

bool SaveResult(Database& db, const ResultRecord& result) {
    RecordChanges changes;
    changes.WriteString("mod", result.mod);
    for (const auto& [key, field] : kSavedIntegers) {
        changes.WriteInt(key, result.*field);
    }
    return db.Report(ResultSection(db, result).Apply(changes));
}

bool SaveStyleFigures(Database& db, const ResultRecord& result) {
    RecordChanges changes;
    for (const auto& [key, field] : kStyleFigureKeys) {
        changes.WriteInt(key, result.*field);
    }
    return db.Report(ResultSection(db, result).Apply(changes));
}

bool SavePoints(Database& db, const std::string& studentId, const std::string& task,
                const std::string& points) {
    return ResultSection(db, studentId, task).WriteString("pts", points);
}

bool HasResult(Database& db, const std::string& studentId, const std::string& task) {
    return ResultSection(db, studentId, task).HasEntries();
}

bool RemoveResult(Database& db, const std::string& studentId, const std::string& task) {
    ResultRecord result;
    result.task = task;
    result.studentId = studentId;
    const bool removed = ResultSection(db, result).Remove();
    const bool deleted = db.DeleteRelative(SubmissionDirectory(result));
    return db.Report(removed && deleted);
}

} // namespace tarvel
