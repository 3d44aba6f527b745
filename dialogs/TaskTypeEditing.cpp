#include "dialogs/TaskTypeEditing.h"

#include "platform/Cp1250.h"
#include "store/Results.h"
#include "store/Tasks.h"

#include <algorithm>
#include <memory>

namespace tarvel {
namespace {

constexpr const char* kFrameworkTitle = "Tarvel";
constexpr const char* kDataTitle = "Chyba údajov";
constexpr const char* kDatabaseTitle = "Chyba databázy";
constexpr const char* kDeleteTitle = "Vymazanie";
constexpr const char* kChangeTitle = "Zmena";

bool Ask(Prompts& prompts, const char* text, const char* title) {
    return prompts.Ask({Cp1250Text(text), Cp1250Text(title), PromptButtons::YesNo, PromptIcon::Question});
}

bool IsDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Whether a student has the task type in the result file. The index is read directly, so that a student
// whose own record cannot be loaded still counts, and so that an unreadable index is not taken for an empty
// one: deleting a type that may be assigned would leave results without their task.
enum class Assignment { None, Assigned, Unknown };

Assignment AssignmentOf(Database& db, const std::string& task) {
    std::shared_ptr<const StudentIndex> index;
    if (!db.ReadStudentIndex(index)) {
        return Assignment::Unknown;
    }
    for (const auto& [unid, studentId] : index->entries) {
        if (HasResult(db, studentId, task)) {
            return Assignment::Assigned;
        }
    }
    return Assignment::None;
}

TaskDate DeadlineOf(const TaskTypeRecord& record) {
    return {record.ToYear, record.ToMonth, record.ToDay};
}

} // namespace

bool ReadPointsField(Prompts& prompts, const std::string& text, int& points) {
    if (!IsDigits(text)) {
        Tell(prompts, "Please enter a positive integer.", kFrameworkTitle, PromptIcon::Warning);
        return false;
    }
    // Leading zeros count for nothing; any longer run of digits is above the limit, without overflowing.
    const std::string digits = text.substr(std::min(text.find_first_not_of('0'), text.size() - 1));
    if (digits.size() > 3 || std::stoi(digits) > kMaxTaskPoints) {
        Tell(prompts, "Please enter an integer between 0 and 100.", kFrameworkTitle, PromptIcon::Warning);
        return false;
    }
    points = std::stoi(digits);
    return true;
}

bool ReadSortedTaskTypes(Database& db, std::vector<std::string>& names) {
    names.clear();
    db.MarkTaskTypesStale();
    if (!db.TaskTypes(names)) {
        names.clear();
        return false;
    }
    std::sort(names.begin(), names.end());
    return true;
}

bool AddTaskTypeFromFields(Database& db, Prompts& prompts, const std::string& name,
                           const std::string& pointsText, TaskDate deadline) {
    int points = 0;
    if (!ReadPointsField(prompts, pointsText, points)) {
        return false;
    }
    // An unreadable tasks.dat lists nothing; adding then creates it.
    std::vector<std::string> existing;
    ReadSortedTaskTypes(db, existing);
    if (std::find(existing.begin(), existing.end(), name) != existing.end()) {
        Tell(prompts, "Daný typ zadania už existuje !!!", kDataTitle, PromptIcon::Error);
        return false;
    }
    if (name.empty()) {
        Tell(prompts, "Neúplné údaje !!!", kDataTitle, PromptIcon::Warning);
        return false;
    }
    // The name heads two sections and names the variant files: one digit, as the field takes.
    if (name.size() != 1 || !IsDigits(name)) {
        Tell(prompts, "Typ zadania musí byť jedna číslica (0 až 9) !!!", kDataTitle, PromptIcon::Warning);
        return false;
    }
    TaskTypeRecord record;
    if (!AddTaskType(db, name, points, deadline.year, deadline.month, deadline.day, record) ||
        !SaveTaskType(db, record)) {
        Tell(prompts, "Nie je možné pridať nový typ zadania !!!", kDatabaseTitle, PromptIcon::Error);
    }
    return true;
}

bool TaskTypeEditing::Open() {
    ReadSortedTaskTypes(db_, names_);
    Show(names_.empty() ? std::string() : names_.front());
    return !names_.empty();
}

void TaskTypeEditing::FocusIn(TrackedField field, const std::string& pointsText, TaskDate deadline) {
    ReadFields(pointsText, deadline);
    if (field == TrackedField::Points) {
        rememberedPoints_ = pointsText_;
    } else {
        rememberedDeadline_ = deadline_;
    }
}

void TaskTypeEditing::FocusOut(const std::string& pointsText, TaskDate deadline) {
    ReadFields(pointsText, deadline);
}

bool TaskTypeEditing::Select(const std::string& name) {
    if (std::find(names_.begin(), names_.end(), name) == names_.end()) {
        return false;
    }
    if (Changed()) {
        if (Ask(prompts_, "Zmena údajov predchádzajúceho typu zadania.\nZapísať?", kChangeTitle)) {
            int points = 0;
            // Points that fail their check are not written and not dropped: the teacher corrects them.
            if (!ReadPointsField(prompts_, pointsText_, points)) {
                return false;
            }
            WriteCurrent(points);
        } else {
            pointsText_ = rememberedPoints_;
            deadline_ = rememberedDeadline_;
        }
    }
    Show(name);
    return true;
}

bool TaskTypeEditing::Change(const std::string& pointsText, TaskDate deadline) {
    ReadFields(pointsText, deadline);
    int points = 0;
    return ReadPointsField(prompts_, pointsText_, points) && WriteCurrent(points);
}

bool TaskTypeEditing::Delete() {
    if (current_.empty()) {
        return false;
    }
    switch (AssignmentOf(db_, current_)) {
    case Assignment::Assigned:
        Tell(prompts_, "Typ zadania je už pridelený.\nNedovolená operácia !!!", kDeleteTitle,
             PromptIcon::Warning);
        return false;
    case Assignment::Unknown:
        Tell(prompts_, "Nie je možné načítať databázu študentov !!!", kDatabaseTitle, PromptIcon::Error);
        return false;
    case Assignment::None:
        break;
    }
    if (!Ask(prompts_, "Vymazať typ zadania ?", kDeleteTitle)) {
        return false;
    }
    if (!DeleteTaskType(db_, current_)) {
        Tell(prompts_, "Nie je možné vymazať typ zadania !!!", kDatabaseTitle, PromptIcon::Error);
        return false;
    }
    Tell(prompts_, "Zvolený typ zadania vymazaný !!!", kChangeTitle, PromptIcon::Information);
    names_.erase(std::find(names_.begin(), names_.end(), current_));
    Show(names_.empty() ? std::string() : names_.front());
    return true;
}

void TaskTypeEditing::ReadFields(const std::string& pointsText, TaskDate deadline) {
    pointsText_ = pointsText;
    deadline_ = deadline;
}

// Makes the type current with its stored values in the fields and in the remembered values.
void TaskTypeEditing::Show(const std::string& name) {
    current_ = name;
    TaskTypeRecord record;
    if (!name.empty()) {
        LoadTaskType(db_, name, record);
    }
    pointsText_ = name.empty() ? std::string() : std::to_string(record.points);
    deadline_ = name.empty() ? TaskDate{} : DeadlineOf(record);
    rememberedPoints_ = pointsText_;
    rememberedDeadline_ = deadline_;
}

// Writes the checked points and the deadline to the current type. Only a successful write makes the values
// the remembered ones, so that a failed one is asked about again.
bool TaskTypeEditing::WriteCurrent(int points) {
    TaskTypeRecord record;
    LoadTaskType(db_, current_, record);
    record.points = points;
    record.ToDay = deadline_.day;
    record.ToMonth = deadline_.month;
    record.ToYear = deadline_.year;
    if (!SaveTaskType(db_, record)) {
        Tell(prompts_, "Nie je možné zapísať zmenu typu zadania !!!", kDatabaseTitle, PromptIcon::Error);
        return false;
    }
    rememberedPoints_ = pointsText_;
    rememberedDeadline_ = deadline_;
    return true;
}

} // namespace tarvel
