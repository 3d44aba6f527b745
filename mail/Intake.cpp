#include "mail/Intake.h"

#include "analysis/Similarity.h"
#include "mail/Attachment.h"
#include "mail/MailMessage.h"
#include "mail/ZipExtract.h"
#include "platform/FileOps.h"
#include "platform/Profile.h"
#include "runner/RunResult.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <vector>

namespace tarvel {

namespace {

// Days before the first of each month, index 1 to 12, in a year of 365 days.
constexpr int kDaysBeforeMonth[13] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// An identity file is a few lines; anything larger is not one.
constexpr std::size_t kMaxIdentityFile = 64 * 1024;

// Identity values and archive names come from the student: printable ASCII and bounded in reasons and logs.
std::string Printable(std::string_view text, std::size_t maxLength = 40) {
    std::string out;
    for (const char c : text.substr(0, maxLength)) {
        out += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    if (text.size() > maxLength) {
        out += "...";
    }
    return out;
}

IntakeOutcome Fail(Submission& submission, std::string reason) {
    submission.outcome = IntakeOutcome::Failed;
    submission.reason = std::move(reason);
    return IntakeOutcome::Failed;
}

// A task name that can name a directory of its own: the task number becomes a path component.
bool IsPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

// "UNID", "ID" and "TID" of section "IDZ", in this order, each at most 99 bytes; stops at the first that is
// missing or empty.
bool ReadIdentity(const std::string& sourceDir, Submission& submission, std::string& reason) {
    const auto name = FindCaseInsensitive(sourceDir, kIdentityFileName);
    std::string bytes;
    if (!name || !IsRegularFile(JoinPath(sourceDir, *name)) ||
        !ReadWholeFile(JoinPath(sourceDir, *name), bytes, kMaxIdentityFile, Links::Refuse)) {
        reason = "identity.dat missing at the top of the archive";
        return false;
    }
    const ProfileDocument identity(std::move(bytes));
    struct Field {
        const char* key;
        std::string* value;
    };
    for (const Field field :
         {Field{"UNID", &submission.unid}, Field{"ID", &submission.id}, Field{"TID", &submission.task}}) {
        const auto value = identity.Get(kIdentitySection, field.key);
        if (!value || value->empty()) {
            reason = std::string("identity key ") + field.key + " missing or empty";
            return false;
        }
        *field.value = value->substr(0, kMaxIdentityValue);
    }
    return true;
}

// Every identity.dat of the unpacked tree, in any letter case, so that none is stored with the sources.
bool RemoveIdentityFiles(const std::string& sourceDir) {
    namespace fs = std::filesystem;
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::recursive_directory_iterator it(sourceDir, error), end; !error && it != end;
         it.increment(error)) {
        if (WildcardMatch(kIdentityFileName, it->path().filename().string())) {
            found.push_back(it->path());
        }
    }
    bool removed = !error;
    for (const fs::path& path : found) {
        removed = RemoveTree(path.string()) && removed;
    }
    return removed;
}

// The renderer reads a student's files, so it runs in the sandbox, seeing the sources, the script and the
// renderer alone. Where no sandbox can be made it runs as the system's own program, its writes confined to
// the sources' directory: it runs no student code.
bool RenderSources(const IntakeContext& context, const std::string& sourceDir) {
    const std::string bin = JoinPath(context.zorpath, "bin");
    const std::string tools = "/tarvel";
    ChildRequest request;
    request.arguments = {"bash", JoinPath(tools, kRenderScriptName), tools};
    request.workingDirectory = "/src";
    request.timeLimit = kRenderTimeLimit;
    SandboxLayout sandbox;
    sandbox.mounts = {{sourceDir, request.workingDirectory, true},
                      {JoinPath(bin, kRenderScriptName), JoinPath(tools, kRenderScriptName), false},
                      {JoinPath(bin, kRendererName), JoinPath(tools, kRendererName), false}};
    request.sandbox = sandbox;
    ChildOutcome outcome = context.launcher(request).outcome;
    if (outcome == ChildOutcome::SandboxFailed) {
        request.sandbox.reset();
        request.arguments = {"bash", JoinPath(bin, kRenderScriptName), bin};
        request.workingDirectory = sourceDir;
        request.writableDirectories = {sourceDir};
        outcome = context.launcher(request).outcome;
    }
    return outcome != ChildOutcome::NotStarted && outcome != ChildOutcome::SandboxFailed;
}

bool CheckStudent(Database& db, const Submission& submission, std::string& reason) {
    if (CheckStudentId(db, submission.unid, submission.id)) {
        return true;
    }
    std::string listed;
    if (StudentIdOf(db, submission.unid, listed)) {
        reason = "UNI ID " + Printable(submission.unid) + " belongs to student " + Printable(listed) +
                 ", not " + Printable(submission.id);
    } else {
        reason = "UNI ID " + Printable(submission.unid) + " not in the student index";
    }
    return false;
}

} // namespace

const char* OutcomeName(IntakeOutcome outcome) {
    switch (outcome) {
    case IntakeOutcome::Accepted:
        return "accepted";
    case IntakeOutcome::Refused:
        return "refused";
    case IntakeOutcome::Failed:
        return "failed";
    }
    return "failed";
}

std::string DescribeSubmission(const Submission& submission) {
    std::string line = "UNID " + (submission.unid.empty() ? std::string("-") : Printable(submission.unid)) +
                       " task " + (submission.task.empty() ? std::string("-") : Printable(submission.task)) +
                       ": " + OutcomeName(submission.outcome) + " (" + Printable(submission.reason, 200) +
                       ")";
    if (submission.testCode != kTestsNotRun) {
        line += ", test " + std::to_string(submission.testCode);
    }
    if (submission.testCode == kRunNoSandbox) {
        line += " (not tested: no sandbox)";
    }
    if (!submission.replyFailure.empty()) {
        line += ", answer not sent: " + Printable(submission.replyFailure, 200);
    }
    return line;
}

bool LatenessInDays(const LocalDate& day, const TaskTypeRecord& task, int& late) {
    if (task.ToMonth < 1 || task.ToMonth > 12 || day.month < 1 || day.month > 12) {
        return false;
    }
    const long long days = (static_cast<long long>(day.year) - task.ToYear) * 365 +
                           kDaysBeforeMonth[day.month] + day.day - kDaysBeforeMonth[task.ToMonth] -
                           task.ToDay;
    late = static_cast<int>(
        std::clamp<long long>(days, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    return true;
}

int AcceptSubmission(const IntakeContext& context, const StudentRecord& student, const std::string& task,
                     const std::string& sourceDir, std::string& reason) {
    Database& db = context.db;
    const LocalDate today = context.today();
    ResultRecord result;
    if (!IsPlainName(task) || !LoadResult(db, task, student.id, result)) {
        reason = IsPlainName(task) && ResultSection(db, student.id, task).Exists()
                     ? "result record of task " + Printable(task) + " unreadable"
                     : "task " + Printable(task) + " not assigned to the student";
        return 0;
    }
    TaskTypeRecord taskType;
    int late = 0;
    if (!LoadTaskType(db, task, taskType) || !LatenessInDays(today, taskType, late)) {
        reason = "task record " + Printable(task) + " unreadable";
        return 0;
    }
    if (late >= 1 && result.ver != 0) {
        reason = "resubmission " + std::to_string(late) + " days after the deadline";
        return 0;
    }

    ForgetSimilarities(db, result);
    const std::string submissionDir = SubmissionDirectory(result);
    if (!db.DeleteRelative(submissionDir + "/*")) {
        reason = "the stored submission could not be deleted";
        return 0;
    }
    if (!db.CopyInto(JoinPath(sourceDir, "*"), submissionDir)) {
        reason = "the sources could not be copied into the submission directory";
        return 0;
    }
    result.ver += 1;
    result.pts = -1;
    result.whend = today.day;
    result.whenm = today.month;
    result.wheny = today.year;
    result.late = late;
    if (!AddAccepted(VariantSet{&db, task}, result.mod, student.unid)) {
        reason = "the accepted list of variant " + Printable(result.mod) + " could not be written";
        return 0;
    }
    if (!SaveResult(db, result)) {
        reason = "the result record could not be written";
        return 0;
    }
    reason = "stored as version " + std::to_string(result.ver) + ", late " + std::to_string(late);
    return 1;
}

IntakeOutcome IntakeSubmission(const IntakeContext& context, const std::string& mailText,
                               Submission& submission) {
    submission = Submission{};
    const std::string scratch = JoinPath(context.zorpath, "tmp");
    const std::string sourceDir = JoinPath(scratch, "src");
    if (mailText.empty() || !MakeDirectories(scratch) ||
        !WriteFileAtomically(JoinPath(scratch, "mail.uu"), mailText, false)) {
        return Fail(submission, "scratch file tmp/mail.uu not written");
    }
    // Left-over sources of an earlier mail must never be stored with this one.
    if (!RemoveTree(sourceDir) || std::filesystem::exists(std::filesystem::symlink_status(sourceDir))) {
        return Fail(submission, "scratch directory tmp/src not cleared");
    }

    std::string message;
    if (!RetrievedMessage(mailText, message)) {
        return Fail(submission, "mail text incomplete (no final '.' line)");
    }
    std::string archive;
    std::string reason;
    if (!FindZipAttachment(message, archive, reason) || !ExtractZip(archive, sourceDir, reason)) {
        return Fail(submission, reason);
    }
    if (!RenderSources(context, sourceDir)) {
        return Fail(submission, "the rendering step could not be started");
    }
    if (!ReadIdentity(sourceDir, submission, reason)) {
        return Fail(submission, reason);
    }
    if (!RemoveIdentityFiles(sourceDir)) {
        return Fail(submission, "identity.dat could not be removed from the sources");
    }
    if (!CheckStudent(context.db, submission, reason)) {
        return Fail(submission, reason);
    }
    if (!LoadStudent(context.db, submission.id, submission.student)) {
        return Fail(submission, "student record " + Printable(submission.id) + " unreadable");
    }

    const StudentRecord& student = submission.student;
    submission.reply = "\nMily " + student.name + " " + student.surname + "(" + submission.unid +
                       ").\n\nTvoje zadanie (" + submission.task + ") bolo prijate.\n";
    if (AcceptSubmission(context, student, submission.task, sourceDir, submission.reason) != 1) {
        submission.reply += "Ale nebolo akceptovane na testovanie.";
        submission.outcome = IntakeOutcome::Refused;
        return submission.outcome;
    }
    submission.reply += "A bolo akceptovane na testy.";
    LoadResult(context.db, submission.task, student.id, submission.result);
    submission.outcome = IntakeOutcome::Accepted;
    return submission.outcome;
}

} // namespace tarvel
