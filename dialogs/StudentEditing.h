#pragma once
// "Pridanie študenta" and the model behind "Editácia študenta": the student lines, the current student, the
// values the fields show, and the change tracking that asks before another student's values replace unsaved
// ones. Values come from the widgets as Windows-1250 text and list positions.

#include "dialogs/ListLines.h"
#include "shell/Prompts.h"
#include "store/Database.h"

#include <string>
#include <vector>

namespace tarvel {

struct NewStudent {
    std::string unid;
    std::string name;
    std::string surname;
    std::string email;
    std::string group;
    std::string teacher; // the teacher id of the selected teacher line; "" when there is none
};

// The teacher lines the student dialogs choose from; a teacher list that cannot be read is told and gives
// none.
std::vector<ListEntry> TeacherChoices(Database& db, Prompts& prompts);

// "Pridať": refuses missing values and a UNI ID that belongs to a student already (nothing written, the
// dialog stays open), else adds the student. True when the dialog is to close.
bool AddStudentFromFields(Database& db, Prompts& prompts, const NewStudent& student);

// The three fields of the edit dialog; teacher is the position in the teacher list, -1 for none.
struct StudentFields {
    std::string email;
    std::string group;
    int teacher = -1;
};

enum class StudentControl { Email, Group, Teacher };

class StudentEditing {
public:
    StudentEditing(Database& db, Prompts& prompts) : db_(db), prompts_(prompts) {}

    // Lists the teachers and the students, and shows the first student. A teacher list that cannot be read
    // is told and left empty.
    void Open();

    const std::vector<ListEntry>& Students() const { return students_; }
    const std::vector<ListEntry>& Teachers() const { return teachers_; }
    int SelectedStudent() const { return selected_; }
    // What the fields are to show.
    const StudentFields& Shown() const { return shown_; }
    // The UNI ID of the selected line, "" when the list is empty.
    std::string SelectedUnid() const;

    // A field took the focus: its value is remembered. A field lost it: the fields are read.
    void FocusIn(StudentControl control, const StudentFields& fields);
    void FieldsRead(const StudentFields& fields);
    bool Changed() const;

    // Another line was selected: asks first about unsaved changes of the current student.
    void SelectStudent(int index, const StudentFields& fields);
    // "Zmeniť": writes the current student with the fields' values.
    void Change(const StudentFields& fields);
    // "Vymazať": after the question, deletes the selected student. True when the dialog is to close.
    bool Delete();

private:
    void Show();
    void Write();

    Database& db_;
    Prompts& prompts_;
    std::vector<ListEntry> students_;
    std::vector<ListEntry> teachers_;
    int selected_ = -1;
    std::string current_; // the current student's UNI ID
    StudentFields shown_;
    StudentFields remembered_;
};

} // namespace tarvel
