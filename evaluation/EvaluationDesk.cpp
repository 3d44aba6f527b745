#include "evaluation/EvaluationDesk.h"

#include "analysis/Similarity.h"
#include "dialogs/OpeningChecks.h"
#include "dialogs/TaskTypeEditing.h"
#include "evaluation/Browser.h"
#include "evaluation/ResultLines.h"
#include "evaluation/ResultsCsv.h"
#include "evaluation/ResultsReport.h"
#include "evaluation/SideBySide.h"
#include "platform/Cp1250.h"
#include "store/Results.h"
#include "store/Students.h"
#include "store/Tasks.h"

#include <charconv>

namespace tarvel {
namespace {

constexpr const char* kNotAssigned = "Študent nemá pridelený daný typ zadania !!!";
constexpr const char* kNotSubmitted = "Študent ešte neodovzdal daný typ zadania !!!";

} // namespace

bool ReadyToEvaluate(Database& db, Prompts& prompts, bool firstRun) {
    db.MarkStudentsStale();
    if (!ReadyToOpen(CommandId::Evaluation, db, prompts)) {
        return false;
    }
    if (firstRun) {
        Tell(prompts,
             "Momentálne ste inicializačne prihlásený ako admin.\nPo odhlásení sa prihláste ako skutočný "
             "používateľ !!!",
             "Prvý vstup v databáze", PromptIcon::Warning);
        return false;
    }
    return true;
}

DetachedLauncher SystemBrowserLauncher() {
    return [](const std::vector<std::string>& arguments) { return StartDetached(arguments); };
}

EvaluationDesk::EvaluationDesk(Database& db, Prompts& prompts, std::string configPath, TeacherRecord teacher,
                               DetachedLauncher launcher)
    : db_(db), prompts_(prompts), configPath_(std::move(configPath)), teacher_(std::move(teacher)),
      launcher_(std::move(launcher)) {}

void EvaluationDesk::Open() {
    db_.MarkTaskTypesStale();
    ReadSortedTaskTypes(db_, taskTypes_);
    selectedTaskType_ = taskTypes_.empty() ? -1 : 0;
    allStudents_ = true;
    FillStudents();
}

void EvaluationDesk::ToggleAllStudents(const std::string& points) {
    view_.points = points;
    FillStudents();
}

void EvaluationDesk::FillStudents() {
    students_.clear();
    selectedStudent_ = -1;
    ++studentListFills_;
    allStudents_ = !allStudents_;
    db_.MarkStudentsStale();
    std::vector<std::string> unids;
    const bool read = allStudents_ ? db_.StudentKeys(unids) : StudentsOfTeacher(db_, teacher_.id, unids);
    // Both listings fail for a class without students as for an index that cannot be read.
    if (!read && !HasNoStudents(db_)) {
        Tell(prompts_, "Nie je možné načítať databázu študentov !!!", "Chyba databázy", PromptIcon::Error);
        ClearDetails();
        return;
    }
    for (const std::string& unid : unids) {
        StudentRecord student;
        if (LoadStudentByUniId(db_, unid, student)) {
            students_.push_back({GradingLine(student), unid});
        }
    }
    if (students_.empty()) {
        Tell(prompts_, "Prihlásený učiteľ nemá priradených študentov !!!", "Prázdna databáza",
             PromptIcon::Warning);
        ClearDetails();
        return;
    }
    SortEntries(students_);
    firstStudent_ = true;
    firstTaskType_ = true;
    selectedStudent_ = 0;
    ShowStudent();
}

void EvaluationDesk::ClearDetails() {
    TaskTypeRecord taskType;
    view_ = EvaluationView{};
    if (LoadTaskType(db_, SelectedTaskName(), taskType)) {
        view_.maximum = taskType.points;
    }
    pending_.clear();
}

void EvaluationDesk::SelectStudent(int index, const std::string& points) {
    view_.points = points;
    if (index < 0 || index >= static_cast<int>(students_.size())) {
        return;
    }
    selectedStudent_ = index;
    ShowStudent();
}

void EvaluationDesk::SelectTaskType(int index, const std::string& points) {
    view_.points = points;
    if (index < 0 || index >= static_cast<int>(taskTypes_.size())) {
        return;
    }
    selectedTaskType_ = index;
    ShowResults();
}

void EvaluationDesk::ShowStudent() {
    CheckPendingPoints("Zmena bodov predchádzajúceho študenta.\nZapísať?", true);
    ClearDetails();
    StudentRecord student;
    if (LoadStudentByUniId(db_, SelectedUnid(), student)) {
        view_.name = student.name;
        view_.surname = student.surname;
        view_.group = student.group;
        view_.unid = student.unid;
        TeacherRecord teacher;
        if (LoadTeacher(db_, student.teacher, teacher)) {
            view_.teacher = teacher.surname + " " + teacher.name;
        }
        view_.total = ComputeTotal(student.id);
    }
    if (!taskTypes_.empty()) {
        ShowResults();
    }
    currentUnid_ = SelectedUnid();
}

void EvaluationDesk::ShowResults() {
    if (students_.empty()) {
        return;
    }
    CheckPendingPoints("Zmena bodov predchádzajúceho zadania.\nZapísať?", false);
    if (firstTaskType_) {
        rememberedTask_ = SelectedTaskName();
        firstTaskType_ = false;
    }
    TaskTypeRecord taskType;
    view_.maximum = LoadTaskType(db_, SelectedTaskName(), taskType) ? taskType.points : 0;
    view_.points.clear();
    pending_.clear();
    view_.variant.clear();
    view_.late = 0;
    view_.submissions = 0;
    view_.results.clear();
    view_.similar.clear();
    if (firstStudent_) {
        currentUnid_ = SelectedUnid();
        firstStudent_ = false;
    }
    StudentRecord student;
    ResultRecord result;
    const std::string task = SelectedTaskName();
    if (LoadStudentByUniId(db_, SelectedUnid(), student) && HasResult(db_, student.id, task) &&
        LoadResult(db_, task, student.id, result)) {
        view_.variant = result.mod;
        if (result.ver != 0) {
            view_.submissions = result.ver;
            view_.late = result.late;
            if (result.pts != -1) {
                view_.points = pending_ = std::to_string(result.pts);
            }
            for (const std::string& classmateId : SimilarStudents(db_, result)) {
                StudentRecord classmate;
                if (LoadStudent(db_, classmateId, classmate)) {
                    view_.similar.push_back({ClassmateLine(classmate), classmateId});
                }
            }
            SortEntries(view_.similar);
            view_.results = ResultLines(result, StoredTestCode(db_, student.id, task));
        }
    }
    rememberedTask_ = task;
}

void EvaluationDesk::CheckPendingPoints(const char* question, bool studentChanged) {
    if (view_.points == pending_ || students_.empty() || view_.variant.empty() || view_.submissions == 0) {
        return;
    }
    if (!prompts_.Ask(
            {Cp1250Text(question), Cp1250Text("Body"), PromptButtons::YesNo, PromptIcon::Question})) {
        view_.points = pending_;
        return;
    }
    if (studentChanged) {
        SavePendingPoints();
        currentUnid_ = SelectedUnid();
    } else {
        currentUnid_ = SelectedUnid();
        SavePendingPoints();
    }
    rememberedTask_ = SelectedTaskName();
}

bool EvaluationDesk::SavePendingPoints() {
    int value = 0;
    const std::string& text = view_.points;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    const bool number =
        text.empty() || (error == std::errc() && end == text.data() + text.size() && value >= 0);
    if (!number || value > view_.maximum) {
        Tell(prompts_, "Neplatné body !!!", "Body", PromptIcon::Error);
        view_.points.clear();
        pending_.clear();
        return false;
    }
    // Emptied points are no points: the task type is again not evaluated, as before its first points.
    const std::string stored = text.empty() ? "-1" : std::to_string(value);
    std::string studentId;
    if (!StudentIdOf(db_, currentUnid_, studentId) || !SavePoints(db_, studentId, rememberedTask_, stored)) {
        Tell(prompts_, "Body sa nepodarilo zapísať !!!", "Chyba databázy", PromptIcon::Error);
        return false;
    }
    pending_ = view_.points;
    view_.total = ComputeTotal(studentId);
    return true;
}

void EvaluationDesk::PointsFocusIn(const std::string& points) {
    view_.points = points;
    pending_ = points;
}

void EvaluationDesk::PointsFocusOut(const std::string& points) {
    view_.points = points;
}

void EvaluationDesk::Write(const std::string& points) {
    view_.points = points;
    if (view_.points == pending_ || students_.empty()) {
        return;
    }
    if (view_.variant.empty() || view_.submissions == 0) {
        Tell(prompts_, view_.variant.empty() ? kNotAssigned : kNotSubmitted, "Pozor", PromptIcon::Warning);
        view_.points.clear();
        pending_.clear();
        return;
    }
    currentUnid_ = SelectedUnid();
    rememberedTask_ = SelectedTaskName();
    SavePendingPoints();
}

int EvaluationDesk::ComputeTotal(const std::string& studentId) {
    int total = 0;
    for (const std::string& task : taskTypes_) {
        ResultRecord result;
        if (HasResult(db_, studentId, task) && LoadResult(db_, task, studentId, result) && result.pts >= 0) {
            total += result.pts;
        }
    }
    return total;
}

bool EvaluationDesk::HasSubmission() const {
    if (students_.empty()) {
        Tell(prompts_, "Nie je zvolený žiadny študent !!!", "Pozor", PromptIcon::Warning);
        return false;
    }
    if (view_.variant.empty() || view_.submissions == 0) {
        Tell(prompts_, view_.variant.empty() ? kNotAssigned : kNotSubmitted, "Pozor", PromptIcon::Warning);
        return false;
    }
    return true;
}

void EvaluationDesk::ShowSubmission() {
    if (!HasSubmission()) {
        return;
    }
    ResultRecord submission;
    submission.task = SelectedTaskName();
    StudentIdOf(db_, SelectedUnid(), submission.studentId);
    const std::string page = db_.AbsolutePath(SubmissionDirectory(submission) + "/index.html");
    StartBrowser(configPath_, FileTarget(page), prompts_, launcher_);
}

void EvaluationDesk::PublishReport() {
    PublishResultsReport(db_, prompts_, configPath_, Listing(), launcher_);
}

void EvaluationDesk::ExportCsv() {
    ExportResultsCsv(db_, prompts_, Listing());
}

void EvaluationDesk::Compare(int similarIndex) {
    if (similarIndex < 0 || similarIndex >= static_cast<int>(view_.similar.size())) {
        return;
    }
    std::string studentId;
    if (!StudentIdOf(db_, SelectedUnid(), studentId)) {
        Tell(prompts_, "Nie je možné načítať databázu študentov !!!", "Chyba databázy", PromptIcon::Error);
        return;
    }
    CompareSubmissions(db_, prompts_, configPath_, SelectedTaskName(), studentId,
                       view_.similar[static_cast<std::size_t>(similarIndex)].key, launcher_);
}

ReportListing EvaluationDesk::Listing() const {
    ReportListing listing;
    for (const ListEntry& entry : students_) {
        listing.unids.push_back(entry.key);
    }
    listing.taskTypes = taskTypes_;
    listing.teacher = teacher_;
    listing.allStudents = allStudents_;
    return listing;
}

std::string EvaluationDesk::SelectedUnid() const {
    return selectedStudent_ < 0 ? std::string() : students_[static_cast<std::size_t>(selectedStudent_)].key;
}

std::string EvaluationDesk::SelectedTaskName() const {
    return selectedTaskType_ < 0 ? std::string() : taskTypes_[static_cast<std::size_t>(selectedTaskType_)];
}

} // namespace tarvel
