#include "evaluation/VariantRetest.h"

#include "evaluation/ResultLines.h"
#include "mail/MailArchive.h"
#include "platform/Cp1250.h"
#include "platform/FileOps.h"
#include "runner/RunResult.h"
#include "runner/TestRunner.h"
#include "shell/Settings.h"
#include "store/Results.h"
#include "store/Tasks.h"

namespace tarvel {
namespace {

bool Passed(std::optional<int> code) {
    return code == kRunPassed;
}

// The result record of a submission that can be built again: it names this variant and its directory is
// still there (a teacher may have deleted it by hand).
bool RetestableResult(Database& db, const std::string& taskType, const std::string& variant,
                      const std::string& studentId, ResultRecord& result) {
    return LoadResult(db, taskType, studentId, result) && EqualsIgnoringCase(result.mod, variant) &&
           IsDirectory(db.AbsolutePath(SubmissionDirectory(result)));
}

} // namespace

RetestOutcome RetestVariant(Database& db, const std::string& configPath, const std::string& taskType,
                            const std::string& variant, const RetestProgress& progress,
                            RetestSummary& summary, ProcessLauncher launcher) {
    summary = RetestSummary{};
    std::vector<std::string> studentIds;
    if (!AcceptedStudents(VariantSet{&db, taskType}, variant, studentIds)) {
        return RetestOutcome::ListUnreadable;
    }
    const std::string zorpath = DaemonInstallationPath(configPath);
    PrepareMailArchive(zorpath);
    const ArchiveLock lock(zorpath);
    if (!lock.Held()) {
        return RetestOutcome::DaemonBusy;
    }
    const int total = static_cast<int>(studentIds.size());
    summary.submissions = total;
    int done = 0;
    for (const std::string& studentId : studentIds) {
        StudentRecord student;
        student.id = studentId;
        const bool known = LoadStudent(db, studentId, student);
        if (progress) {
            progress(done, total, &student);
        }
        ++done;
        ResultRecord result;
        if (!known || !RetestableResult(db, taskType, variant, studentId, result)) {
            summary.missing.push_back(known ? student.unid : studentId);
            continue;
        }
        const bool passedBefore = Passed(StoredTestCode(db, studentId, taskType));
        TestRunner runner(db, configPath, result, zorpath, launcher);
        const int code = runner.Run();
        if (!ResultSection(db, result).WriteInt(kTestResultKey, code)) {
            summary.missing.push_back(student.unid);
            continue;
        }
        ++summary.tested;
        summary.passedBefore += passedBefore ? 1 : 0;
        summary.passedAfter += Passed(code) ? 1 : 0;
    }
    if (progress) {
        progress(total, total, nullptr);
    }
    return RetestOutcome::Done;
}

std::string RetestReport(const RetestSummary& summary) {
    if (summary.submissions == 0) {
        return Cp1250Text("Variant zadania nemá žiadne prijaté odovzdanie.");
    }
    std::string text = Cp1250Text("Znovu otestované odovzdania: ") + std::to_string(summary.tested) + " z " +
                       std::to_string(summary.submissions) + Cp1250Text(".\nTesty prešli predtým: ") +
                       std::to_string(summary.passedBefore) +
                       ", teraz: " + std::to_string(summary.passedAfter) + ".";
    if (!summary.missing.empty()) {
        text += Cp1250Text("\nNeotestované, výsledok ostáva: ");
        for (std::size_t i = 0; i < summary.missing.size(); ++i) {
            text += (i == 0 ? "" : ", ") + summary.missing[i];
        }
        text += ".";
    }
    return text;
}

} // namespace tarvel
