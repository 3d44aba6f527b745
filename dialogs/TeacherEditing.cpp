#include "dialogs/TeacherEditing.h"

#include "platform/Cp1250.h"
#include "store/Students.h"
#include "store/Teachers.h"

namespace tarvel {
bool AddTeacherFromFields(Database& db, Prompts& prompts, const NewTeacher& fields) {
    if (fields.name.empty() || fields.surname.empty() || fields.password.empty()) {
        Tell(prompts, "Neúplné údaje !!!", "Chyba údajov", PromptIcon::Warning);
        return false;
    }
    if (fields.password != fields.confirmation) {
        Tell(prompts, "Neplatné heslo !!!", "Chyba údajov");
        return false;
    }
    TeacherRecord teacher;
    if (!AddTeacher(db, fields.name, fields.surname, fields.email, fields.room, fields.password, teacher) ||
        !SaveTeacher(db, teacher)) {
        Tell(prompts, "Nie je možné pridať nového učiteľa !!!", "Chyba databázy");
    }
    return true;
}

void TeacherEditing::Open() {
    TeacherEntries(db_, teachers_);
    selected_ = teachers_.empty() ? -1 : 0;
    current_ = SelectedId();
    Show();
}

std::string TeacherEditing::SelectedId() const {
    return selected_ >= 0 ? teachers_[static_cast<std::size_t>(selected_)].key : std::string();
}

void TeacherEditing::Show() {
    TeacherRecord teacher;
    LoadTeacher(db_, current_, teacher);
    shown_ = TeacherFields{teacher.email, "", "", "", teacher.room};
    remembered_ = shown_;
}

void TeacherEditing::FocusIn(TeacherControl control, const TeacherFields& fields) {
    FieldsRead(fields);
    if (control == TeacherControl::Email) {
        remembered_.email = shown_.email;
    } else {
        remembered_.room = shown_.room;
    }
}

void TeacherEditing::FieldsRead(const TeacherFields& fields) {
    shown_ = fields;
}

bool TeacherEditing::Changed() const {
    return shown_.email != remembered_.email || shown_.room != remembered_.room ||
           !shown_.oldPassword.empty() || !shown_.newPassword.empty() || !shown_.confirmation.empty();
}

void TeacherEditing::Select(int index, const TeacherFields& fields) {
    FieldsRead(fields);
    if (Changed()) {
        if (prompts_.Ask({Cp1250Text("Zmena údajov predchádzajúceho učiteľa.\nZapísať?"), Cp1250Text("Zmena"),
                          PromptButtons::YesNo, PromptIcon::Question})) {
            Write();
        } else {
            shown_.email = remembered_.email;
            shown_.room = remembered_.room;
        }
    }
    if (index >= 0 && index < static_cast<int>(teachers_.size())) {
        selected_ = index;
        current_ = SelectedId();
        Show();
    }
}

void TeacherEditing::Change(const TeacherFields& fields) {
    FieldsRead(fields);
    Write();
}

void TeacherEditing::Write() {
    // Writing a record that did not load would store empty names and a broken verifier over the real ones.
    TeacherRecord teacher;
    if (!LoadTeacher(db_, current_, teacher)) {
        Tell(prompts_, "Nie je možné zmeniť údaje učiteľa !!!", "Chyba databázy");
        return;
    }
    teacher.email = shown_.email;
    teacher.room = shown_.room;
    remembered_.email = shown_.email;
    remembered_.room = shown_.room;
    if (!shown_.newPassword.empty()) {
        if (shown_.newPassword == shown_.confirmation && CheckPassword(teacher, shown_.oldPassword)) {
            SetPassword(teacher, shown_.newPassword);
            Tell(prompts_, "Heslo nastavene ", "Heslo", PromptIcon::Information);
        } else {
            Tell(prompts_, "Neplatné heslo !!!", "Chyba údajov");
        }
    }
    // E-mail and room are written even when the password was refused.
    if (!SaveTeacher(db_, teacher)) {
        Tell(prompts_, "Nie je možné zmeniť údaje učiteľa !!!", "Chyba databázy");
    }
    shown_.oldPassword.clear();
    shown_.newPassword.clear();
    shown_.confirmation.clear();
}

bool TeacherEditing::Delete() {
    if (!prompts_.Ask({Cp1250Text("Vymazať učiteľa ?"), Cp1250Text("Vymazanie"), PromptButtons::YesNo,
                       PromptIcon::Question})) {
        return false;
    }
    const std::string id = SelectedId();
    // Students whose teacher is gone would be listed with no teacher at all: when they cannot all be looked
    // up, the teacher is kept. (The lookup also fails for a class without students, which blocks nothing.)
    std::vector<std::string> students;
    if (!StudentsOfTeacher(db_, id, students) && !HasNoStudents(db_)) {
        Tell(prompts_, "Nie je možné načítať databázu študentov !!!", "Chyba databázy");
        return false;
    }
    if (!students.empty()) {
        Tell(prompts_, "Nie je možné vymazať údaje učiteľa !!!\nMá pridelených študentov.", "Nemožno zmazať",
             PromptIcon::Warning);
        return false;
    }
    if (!DeleteTeacher(db_, id)) {
        Tell(prompts_, "Nie je možné vymazať údaje učiteľa !!!", "Chyba databázy");
    }
    return true;
}

} // namespace tarvel
