#include "dialogs/AddStudentDialog.h"

#include "dialogs/ClassList.h"
#include "dialogs/StudentEditing.h"
#include "platform/Cp1250.h"
#include "shell/GuiText.h"
#include "shell/QtForm.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace tarvel {

AddStudentDialog::AddStudentDialog(Database& db, Prompts& prompts, QWidget* parent)
    : QDialog(parent), db_(db), prompts_(prompts), name_(NamedEdit(*this, "nameEdit", 30)),
      surname_(NamedEdit(*this, "surnameEdit", 30)), email_(NamedEdit(*this, "emailEdit", 30)),
      group_(DigitsEdit(*this, "groupEdit", 2)), unid_(DigitsEdit(*this, "unidEdit", 5)),
      teacher_(new QComboBox(this)) {
    setObjectName(QStringLiteral("addStudentDialog"));
    setWindowTitle(GuiText("Pridanie študenta"));
    teacher_->setObjectName(QStringLiteral("teacherCombo"));
    teachers_ = TeacherChoices(db_, prompts_);
    ShowEntries(*teacher_, teachers_);
    teacher_->setCurrentIndex(teachers_.empty() ? -1 : 0);
    const auto buttons = LayOutDialog(
        *this,
        {{"Meno:", name_},
         {"Priezvisko:", surname_},
         {"e-mail:", email_},
         {"Krúžok:", group_},
         {"UNI ID študenta:", unid_},
         {"Učiteľ:", teacher_}},
        {{"Pridať", "addButton"}, {"Načítať zoznam...", "classListButton"}, {"Späť", "backButton"}});
    connect(buttons[0], &QPushButton::clicked, this, &AddStudentDialog::Add);
    connect(buttons[1], &QPushButton::clicked, this, &AddStudentDialog::AddClassList);
}

std::string AddStudentDialog::SelectedTeacher() const {
    const int index = teacher_->currentIndex();
    return index >= 0 ? teachers_[static_cast<std::size_t>(index)].key : std::string();
}

void AddStudentDialog::Add() {
    NewStudent student;
    student.teacher = SelectedTeacher();
    if (ReadCp1250(prompts_, {{unid_, &student.unid},
                              {name_, &student.name},
                              {surname_, &student.surname},
                              {email_, &student.email},
                              {group_, &student.group}}) &&
        AddStudentFromFields(db_, prompts_, student)) {
        accept();
    }
}

void AddStudentDialog::AddClassList() {
    const std::optional<std::string> path = prompts_.ChooseOpenFile(
        {Cp1250Text("Zoznam študentov"), "",
         Cp1250Text("Zoznamy študentov (*.csv;*.tsv;*.txt)|*.csv;*.tsv;*.txt|Všetky súbory (*.*)|*.*||"),
         ""});
    if (!path) {
        return;
    }
    const ClassListImport result = ImportClassList(db_, *path, SelectedTeacher());
    prompts_.Tell(
        {ClassListReport(result), Cp1250Text("Zoznam študentov"), PromptButtons::Ok,
         result.refused.empty() && result.failure.empty() ? PromptIcon::Information : PromptIcon::Warning});
    if (result.added > 0) {
        accept();
    }
}

} // namespace tarvel
