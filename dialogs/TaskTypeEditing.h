#pragma once
// The task-type dialogs "Pridanie typu zadania" and "Editovanie typu zadania": the add button as a function
// of the fields, and the edit dialog's model with its current type and the change tracking of points and
// deadline. Texts are Windows-1250; every box goes through the prompts.

#include "shell/Prompts.h"
#include "store/Database.h"

#include <string>
#include <vector>

namespace tarvel {

// The date picker's value; month 1-12, year with four digits.
struct TaskDate {
    int year = 0;
    int month = 0;
    int day = 0;
    bool operator==(const TaskDate&) const = default;
};

// The most points a task type can earn.
inline constexpr int kMaxTaskPoints = 100;

// The points field's check as the dialog framework makes it: an unsigned decimal number 0..kMaxTaskPoints.
// Otherwise tells "Please enter a positive integer." (not a number, also empty) or "Please enter an integer
// between 0 and 100." (title "Tarvel", warning) and returns false with points unchanged.
bool ReadPointsField(Prompts& prompts, const std::string& text, int& points);

// The task type names in ascending byte order, read afresh. False when tasks.dat cannot be read (names are
// then empty).
bool ReadSortedTaskTypes(Database& db, std::vector<std::string>& names);

// "Pridať": checks the points, refuses an existing, empty or not one-digit name with a box, then adds the
// type with the deadline and tells when that fails. True when the dialog is to close (after an attempt to
// write, whether or not it succeeded); false when a check refused the fields and nothing was written.
bool AddTaskTypeFromFields(Database& db, Prompts& prompts, const std::string& name,
                           const std::string& pointsText, TaskDate deadline);

// The fields whose focus the change tracking watches.
enum class TrackedField { Points, Deadline };

// "Editovanie typu zadania". The current type is the one whose values the fields show; for each of the two
// fields the model remembers the value it had when it last received the focus, and the type counts as changed
// when the values read last differ from the remembered ones.
class TaskTypeEditing {
public:
    TaskTypeEditing(Database& db, Prompts& prompts) : db_(db), prompts_(prompts) {}

    // Fills the sorted list and shows the first type. False when there is no type to show.
    bool Open();

    const std::vector<std::string>& Names() const { return names_; }
    // The current type, which is also the list's selected entry; empty when the list is.
    const std::string& CurrentName() const { return current_; }
    const std::string& PointsText() const { return pointsText_; }
    TaskDate Deadline() const { return deadline_; }
    bool Changed() const { return pointsText_ != rememberedPoints_ || deadline_ != rememberedDeadline_; }

    // The field received the focus: the fields are read and that field's value is remembered.
    void FocusIn(TrackedField field, const std::string& pointsText, TaskDate deadline);
    // A tracked field lost the focus: the fields are read.
    void FocusOut(const std::string& pointsText, TaskDate deadline);

    // Another entry of the list was selected. When the current type has changed, asks whether to write it:
    // Yes writes it as Change does, No drops the values. Then shows the selected type. False when the
    // selection stays where it was: the name is not listed, or the points to be written failed their check.
    bool Select(const std::string& name);
    // "Zmeniť" with the controls' values: checks the points, then writes points and deadline to the current
    // type. True when written; the remembered values then become the current ones.
    bool Change(const std::string& pointsText, TaskDate deadline);
    // "Vymazať": refuses a type that a student has in the result file, asks, then deletes it with its
    // variants. True when the dialog is to close (the type was deleted).
    bool Delete();

private:
    void ReadFields(const std::string& pointsText, TaskDate deadline);
    void Show(const std::string& name);
    bool WriteCurrent(int points);

    Database& db_;
    Prompts& prompts_;
    std::vector<std::string> names_;
    std::string current_;
    std::string pointsText_;
    TaskDate deadline_;
    std::string rememberedPoints_;
    TaskDate rememberedDeadline_;
};

} // namespace tarvel
