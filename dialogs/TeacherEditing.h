#pragma once
// "Pridanie učiteľa" and the model behind "Editácia učiteľa": the teacher lines, the current teacher, the
// values the fields show, the password change that needs the old password, and the change tracking that asks
// before another teacher's values replace unsaved ones. Values come from the widgets as Windows-1250 text.

#include "dialogs/ListLines.h"
#include "shell/Prompts.h"
#include "store/Database.h"

#include <string>
#include <vector>

namespace tarvel {

struct NewTeacher {
    std::string name;
    std::string surname;
    std::string email;
    std::string password;
    std::string confirmation;
    std::string room;
};

// "Pridať": refuses a missing name, surname or password and a confirmation that differs (nothing written,
// the dialog stays open), else adds the teacher. True when the dialog is to close.
bool AddTeacherFromFields(Database& db, Prompts& prompts, const NewTeacher& teacher);

struct TeacherFields {
    std::string email;
    std::string oldPassword;
    std::string newPassword;
    std::string confirmation;
    std::string room;
};

enum class TeacherControl { Email, Room };

class TeacherEditing {
public:
    TeacherEditing(Database& db, Prompts& prompts) : db_(db), prompts_(prompts) {}

    // Lists the teachers and shows the first.
    void Open();

    const std::vector<ListEntry>& Teachers() const { return teachers_; }
    int Selected() const { return selected_; }
    // What the fields are to show; the password fields are empty after every write and every change of
    // teacher.
    const TeacherFields& Shown() const { return shown_; }

    void FocusIn(TeacherControl control, const TeacherFields& fields);
    void FieldsRead(const TeacherFields& fields);
    // The e-mail or room differs from its remembered value, or a password field is not empty.
    bool Changed() const;

    // Another line was selected: asks first about unsaved changes of the current teacher.
    void Select(int index, const TeacherFields& fields);
    // "Zmeniť": e-mail and room are written, the password only when the old one checks.
    void Change(const TeacherFields& fields);
    // "Vymazať": after the question, deletes the selected teacher unless students belong to him. True when
    // the dialog is to close.
    bool Delete();

private:
    void Show();
    void Write();
    std::string SelectedId() const;

    Database& db_;
    Prompts& prompts_;
    std::vector<ListEntry> teachers_;
    int selected_ = -1;
    std::string current_; // the current teacher's id
    TeacherFields shown_;
    TeacherFields remembered_; // of e-mail and room
};

} // namespace tarvel
