#include "dialogs/StudentEditing.h"

#include "platform/Cp1250.h"
#include "store/Students.h"

namespace tarvel {
namespace {

// The student dialogs' own title for a store failure, spelled as they have always shown it.
constexpr const char* kStoreErrorTitle = "Chyba databßzy";

} // namespace

bool AddStudentFromFields(Database& db, Prompts& prompts, const NewStudent& fields) {
    for (const std::string* value :
         {&fields.unid, &fields.name, &fields.surname, &fields.email, &fields.group}) {
        if (value->empty()) {
            prompts.Tell({Cp1250Text("Neúplné údaje !!!"), Cp1250Text("Chyba údajov"), PromptButtons::Ok,
                          PromptIcon::Warning});
            return false;
        }
    }
    // The index keeps one student per UNI ID: a second one would hide the first.
    std::string existing;
    if (StudentIdOf(db, fields.unid, existing) && !existing.empty()) {
        Tell(prompts, "Študent s daným UNI ID už existuje !!!", "Chyba údajov");
        return false;
    }
    const std::string teacher = fields.teacher.empty() ? TeacherOfLine("") : fields.teacher;
    StudentRecord student;
    if (!AddStudent(db, fields.unid, fields.name, fields.surname, fields.email, teacher, fields.group,
                    student) ||
        !SaveStudent(db, student)) {
        Tell(prompts, "Nie je možné vytvorit nového študenta !!!", kStoreErrorTitle);
    }
    return true;
}

std::vector<ListEntry> TeacherChoices(Database& db, Prompts& prompts) {
    std::vector<ListEntry> teachers;
    if (!TeacherEntries(db, teachers)) {
        prompts.Tell(
            {Cp1250Text("Nie je možné načítať databázu učiteľov !!!"), Cp1250Text("Chyba databázy")});
    }
    return teachers;
}

void StudentEditing::Open() {
    teachers_ = TeacherChoices(db_, prompts_);
    StudentEntries(db_, students_);
    selected_ = students_.empty() ? -1 : 0;
    current_ = SelectedUnid();
    Show();
}

std::string StudentEditing::SelectedUnid() const {
    return selected_ >= 0 ? students_[static_cast<std::size_t>(selected_)].key : std::string();
}

void StudentEditing::Show() {
    StudentRecord student;
    LoadStudentByUniId(db_, current_, student);
    shown_.email = student.email;
    shown_.group = student.group;
    shown_.teacher = FindKey(teachers_, TeacherOfLine(student.teacher));
    remembered_ = shown_;
}

void StudentEditing::FocusIn(StudentControl control, const StudentFields& fields) {
    FieldsRead(fields);
    switch (control) {
    case StudentControl::Email:
        remembered_.email = shown_.email;
        break;
    case StudentControl::Group:
        remembered_.group = shown_.group;
        break;
    case StudentControl::Teacher:
        remembered_.teacher = shown_.teacher;
        break;
    }
}

void StudentEditing::FieldsRead(const StudentFields& fields) {
    shown_ = fields;
}

bool StudentEditing::Changed() const {
    return shown_.email != remembered_.email || shown_.group != remembered_.group ||
           shown_.teacher != remembered_.teacher;
}

void StudentEditing::SelectStudent(int index, const StudentFields& fields) {
    FieldsRead(fields);
    if (Changed()) {
        if (prompts_.Ask({Cp1250Text("Zmena údajov predchádzajúceho študenta.\nZapísať?"),
                          Cp1250Text("Zmena"), PromptButtons::YesNo, PromptIcon::Question})) {
            Write();
        } else {
            shown_ = remembered_;
        }
    }
    if (index >= 0 && index < static_cast<int>(students_.size())) {
        selected_ = index;
        current_ = SelectedUnid();
        Show();
    }
}

void StudentEditing::Change(const StudentFields& fields) {
    FieldsRead(fields);
    Write();
}

void StudentEditing::Write() {
    // Writing a record that did not load would store empty names over the real ones.
    StudentRecord student;
    if (!LoadStudentByUniId(db_, current_, student)) {
        Tell(prompts_, "Nie je možné zmeniť údaje študenta !!!", kStoreErrorTitle);
        return;
    }
    student.email = shown_.email;
    student.group = shown_.group;
    remembered_.email = shown_.email;
    remembered_.group = shown_.group;
    // Without a selected teacher line the student keeps the teacher he has.
    if (shown_.teacher >= 0 && shown_.teacher < static_cast<int>(teachers_.size())) {
        student.teacher = teachers_[static_cast<std::size_t>(shown_.teacher)].key;
    }
    remembered_.teacher = shown_.teacher;
    if (!SaveStudent(db_, student)) {
        Tell(prompts_, "Nie je možné zmeniť údaje študenta !!!", kStoreErrorTitle);
    }
}

bool StudentEditing::Delete() {
    if (!prompts_.Ask({Cp1250Text("Vymazať študenta ?"), Cp1250Text("Vymazanie"), PromptButtons::YesNo,
                       PromptIcon::Question})) {
        return false;
    }
    if (!DeleteStudent(db_, SelectedUnid())) {
        Tell(prompts_, "Nie je možné vymazať údaje študenta !!!", kStoreErrorTitle);
    }
    return true;
}

} // namespace tarvel
