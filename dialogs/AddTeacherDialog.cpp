#include "dialogs/AddTeacherDialog.h"

#include "dialogs/TeacherEditing.h"
#include "shell/GuiText.h"
#include "shell/QtForm.h"

#include <QLineEdit>
#include <QPushButton>

namespace tarvel {

AddTeacherDialog::AddTeacherDialog(Database& db, Prompts& prompts, QWidget* parent)
    : QDialog(parent), db_(db), prompts_(prompts), name_(NamedEdit(*this, "nameEdit", 30)),
      surname_(NamedEdit(*this, "surnameEdit", 30)), email_(NamedEdit(*this, "emailEdit", 50)),
      password_(NamedEdit(*this, "passwordEdit", 5, true)),
      confirmation_(NamedEdit(*this, "confirmationEdit", 5, true)), room_(NamedEdit(*this, "roomEdit", 10)) {
    setObjectName(QStringLiteral("addTeacherDialog"));
    setWindowTitle(GuiText("Pridanie učiteľa"));
    const auto buttons = LayOutDialog(*this,
                                      {{"Meno:", name_},
                                       {"Priezvisko:", surname_},
                                       {"e-mail:", email_},
                                       {"Heslo:", password_},
                                       {"Potvrdenie hesla:", confirmation_},
                                       {"Miestnosť:", room_}},
                                      {{"Pridať", "addButton"}, {"Späť", "backButton"}});
    connect(buttons[0], &QPushButton::clicked, this, &AddTeacherDialog::Add);
}

void AddTeacherDialog::Add() {
    NewTeacher teacher;
    if (ReadCp1250(prompts_, {{name_, &teacher.name},
                              {surname_, &teacher.surname},
                              {email_, &teacher.email},
                              {password_, &teacher.password},
                              {confirmation_, &teacher.confirmation},
                              {room_, &teacher.room}}) &&
        AddTeacherFromFields(db_, prompts_, teacher)) {
        accept();
    }
}

} // namespace tarvel
