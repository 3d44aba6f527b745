#include "dialogs/EditStudentDialog.h"

#include "shell/GuiText.h"
#include "shell/QtForm.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

namespace tarvel {

EditStudentDialog::EditStudentDialog(Database& db, Prompts& prompts,
                                     std::function<void(const std::string&)> reassign, QWidget* parent)
    : QDialog(parent), prompts_(prompts), model_(db, prompts), reassign_(std::move(reassign)),
      students_(new QListWidget(this)), email_(NamedEdit(*this, "emailEdit", 30)),
      group_(DigitsEdit(*this, "groupEdit", 2)), teacher_(new QComboBox(this)) {
    setObjectName(QStringLiteral("editStudentDialog"));
    setWindowTitle(GuiText("Editácia študenta"));
    students_->setObjectName(QStringLiteral("studentList"));
    students_->setMinimumHeight(180);
    teacher_->setObjectName(QStringLiteral("teacherCombo"));
    const auto buttons = LayOutDialog(
        *this, {{"Študent:", students_}, {"e-mail:", email_}, {"Krúžok:", group_}, {"Učiteľ:", teacher_}},
        {{"Zmeniť", "changeButton"},
         {"Vymazať", "deleteButton"},
         {"Pridelenie nových zadaní", "reassignButton"},
         {"Späť", "backButton"}});
    connect(buttons[0], &QPushButton::clicked, this, &EditStudentDialog::Change);
    connect(buttons[1], &QPushButton::clicked, this, &EditStudentDialog::Delete);
    connect(buttons[2], &QPushButton::clicked, this, &EditStudentDialog::Reassign);
    connect(students_, &QListWidget::currentRowChanged, this, &EditStudentDialog::SelectRow);
    Track(StudentControl::Email, *email_);
    Track(StudentControl::Group, *group_);
    Track(StudentControl::Teacher, *teacher_);

    model_.Open();
    ShowEntries(*teacher_, model_.Teachers());
    ShowEntries(*students_, model_.Students());
    Render();
    students_->setFocus();
}

void EditStudentDialog::Track(StudentControl control, QWidget& widget) {
    WatchFocus(
        widget,
        [this, control] {
            StudentFields fields;
            if (Read(fields, false)) {
                model_.FocusIn(control, fields);
            }
        },
        [this] {
            StudentFields fields;
            if (Read(fields, false)) {
                model_.FieldsRead(fields);
            }
        });
}

bool EditStudentDialog::Read(StudentFields& fields, bool tell) {
    fields.teacher = teacher_->currentIndex();
    const Cp1250Fields texts = {{email_, &fields.email}, {group_, &fields.group}};
    return tell ? ReadCp1250(prompts_, texts) : ConvertCp1250(texts);
}

void EditStudentDialog::Render() {
    const QSignalBlocker quietList(students_);
    const QSignalBlocker quietTeacher(teacher_);
    students_->setCurrentRow(model_.SelectedStudent());
    email_->setText(FromCp1250(model_.Shown().email));
    group_->setText(FromCp1250(model_.Shown().group));
    teacher_->setCurrentIndex(model_.Shown().teacher);
}

void EditStudentDialog::SelectRow(int row) {
    StudentFields fields;
    if (Read(fields, true)) {
        model_.SelectStudent(row, fields);
    }
    Render();
}

void EditStudentDialog::Change() {
    StudentFields fields;
    if (Read(fields, true)) {
        model_.Change(fields);
        Render();
    }
}

void EditStudentDialog::Delete() {
    if (model_.Delete()) {
        accept();
    }
}

void EditStudentDialog::Reassign() {
    const std::string unid = model_.SelectedUnid();
    if (!unid.empty()) {
        reassign_(unid);
    }
}

} // namespace tarvel
