#include "dialogs/AddTaskTypeDialog.h"

#include "dialogs/TaskTypeEditing.h"
#include "shell/GuiText.h"
#include "shell/QtForm.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>

namespace tarvel {

QDateEdit* DeadlineEdit(QDialog& dialog) {
    auto* edit = new QDateEdit(QDate::currentDate(), &dialog);
    edit->setObjectName(QStringLiteral("deadlineEdit"));
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(QStringLiteral("d. M. yyyy"));
    return edit;
}

AddTaskTypeDialog::AddTaskTypeDialog(Database& db, Prompts& prompts, QWidget* parent)
    : QDialog(parent), db_(db), prompts_(prompts), name_(DigitsEdit(*this, "nameEdit", 1)),
      points_(DigitsEdit(*this, "pointsEdit", 3)), deadline_(DeadlineEdit(*this)) {
    setObjectName(QStringLiteral("addTaskTypeDialog"));
    setWindowTitle(GuiText("Pridanie typu zadania"));
    const auto buttons = LayOutDialog(*this,
                                      {{"Typ zadania (1, 2, 3,...):", name_},
                                       {"Bodové hodnotenie:", points_},
                                       {"Termín odovzdania:", deadline_}},
                                      {{"Pridať", "addButton"}, {"Späť", "backButton"}});
    connect(buttons[0], &QPushButton::clicked, this, &AddTaskTypeDialog::Add);
}

void AddTaskTypeDialog::Add() {
    // Both fields take digits alone, which every code page writes alike.
    const QDate date = deadline_->date();
    if (AddTaskTypeFromFields(db_, prompts_, name_->text().toStdString(), points_->text().toStdString(),
                              {date.year(), date.month(), date.day()})) {
        accept();
    }
}

} // namespace tarvel
