#include "dialogs/EditTeacherDialog.h"

#include "shell/GuiText.h"
#include "shell/QtForm.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

namespace tarvel {

EditTeacherDialog::EditTeacherDialog(Database& db, Prompts& prompts, QWidget* parent)
    : QDialog(parent), prompts_(prompts), model_(db, prompts), teachers_(new QListWidget(this)),
      email_(NamedEdit(*this, "emailEdit", 50)), oldPassword_(NamedEdit(*this, "oldPasswordEdit", 5, true)),
      newPassword_(NamedEdit(*this, "newPasswordEdit", 5, true)),
      confirmation_(NamedEdit(*this, "confirmationEdit", 5, true)), room_(NamedEdit(*this, "roomEdit", 10)) {
    setObjectName(QStringLiteral("editTeacherDialog"));
    setWindowTitle(GuiText("Editácia učiteľa"));
    teachers_->setObjectName(QStringLiteral("teacherList"));
    teachers_->setMinimumHeight(140);
    const auto buttons =
        LayOutDialog(*this,
                     {{"Učiteľ:", teachers_},
                      {"e-mail:", email_},
                      {"Staré heslo:", oldPassword_},
                      {"Nové heslo:", newPassword_},
                      {"Potvrdenie hesla:", confirmation_},
                      {"Miestnosť:", room_}},
                     {{"Zmeniť", "changeButton"}, {"Vymazať", "deleteButton"}, {"Späť", "backButton"}});
    connect(buttons[0], &QPushButton::clicked, this, &EditTeacherDialog::Change);
    connect(buttons[1], &QPushButton::clicked, this, &EditTeacherDialog::Delete);
    connect(teachers_, &QListWidget::currentRowChanged, this, &EditTeacherDialog::SelectRow);
    Track(TeacherControl::Email, *email_);
    Track(TeacherControl::Room, *room_);

    model_.Open();
    ShowEntries(*teachers_, model_.Teachers());
    Render();
    teachers_->setFocus();
}

void EditTeacherDialog::Track(TeacherControl control, QWidget& widget) {
    WatchFocus(
        widget,
        [this, control] {
            TeacherFields fields;
            if (Read(fields, false)) {
                model_.FocusIn(control, fields);
            }
        },
        [this] {
            TeacherFields fields;
            if (Read(fields, false)) {
                model_.FieldsRead(fields);
            }
        });
}

bool EditTeacherDialog::Read(TeacherFields& fields, bool tell) {
    const Cp1250Fields texts = {{email_, &fields.email},
                                {oldPassword_, &fields.oldPassword},
                                {newPassword_, &fields.newPassword},
                                {confirmation_, &fields.confirmation},
                                {room_, &fields.room}};
    return tell ? ReadCp1250(prompts_, texts) : ConvertCp1250(texts);
}

void EditTeacherDialog::Render() {
    const QSignalBlocker quiet(teachers_);
    teachers_->setCurrentRow(model_.Selected());
    const TeacherFields& shown = model_.Shown();
    email_->setText(FromCp1250(shown.email));
    oldPassword_->setText(FromCp1250(shown.oldPassword));
    newPassword_->setText(FromCp1250(shown.newPassword));
    confirmation_->setText(FromCp1250(shown.confirmation));
    room_->setText(FromCp1250(shown.room));
}

void EditTeacherDialog::SelectRow(int row) {
    TeacherFields fields;
    if (Read(fields, true)) {
        model_.Select(row, fields);
    }
    Render();
}

void EditTeacherDialog::Change() {
    TeacherFields fields;
    if (Read(fields, true)) {
        model_.Change(fields);
        Render();
    }
}

void EditTeacherDialog::Delete() {
    if (model_.Delete()) {
        accept();
    }
}

} // namespace tarvel
