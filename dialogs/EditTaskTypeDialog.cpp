#include "dialogs/EditTaskTypeDialog.h"

#include "dialogs/AddTaskTypeDialog.h"
#include "shell/GuiText.h"
#include "shell/QtForm.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace tarvel {

EditTaskTypeDialog::EditTaskTypeDialog(Database& db, Prompts& prompts, QWidget* parent)
    : QDialog(parent), model_(db, prompts), names_(new QComboBox(this)),
      points_(DigitsEdit(*this, "pointsEdit", 3)), deadline_(DeadlineEdit(*this)) {
    setObjectName(QStringLiteral("editTaskTypeDialog"));
    setWindowTitle(GuiText("Editovanie typu zadania"));
    names_->setObjectName(QStringLiteral("nameCombo"));
    const auto buttons =
        LayOutDialog(*this,
                     {{"Typ zadania (1, 2, 3,...):", names_},
                      {"Bodové hodnotenie:", points_},
                      {"Termín odovzdania:", deadline_}},
                     {{"Zmeniť", "changeButton"}, {"Vymazať", "deleteButton"}, {"Späť", "backButton"}});
    connect(buttons[0], &QPushButton::clicked, this, &EditTaskTypeDialog::Change);
    connect(buttons[1], &QPushButton::clicked, this, &EditTaskTypeDialog::Delete);
    connect(names_, &QComboBox::currentIndexChanged, this, &EditTaskTypeDialog::SelectName);
    const auto track = [this](QWidget& widget, TrackedField field) {
        WatchFocus(
            widget, [this, field] { model_.FocusIn(field, points_->text().toStdString(), Date()); },
            [this] { model_.FocusOut(points_->text().toStdString(), Date()); });
    };
    track(*points_, TrackedField::Points);
    track(*deadline_, TrackedField::Deadline);

    model_.Open();
    ShowNames(*names_, model_.Names(), model_.CurrentName());
    Render();
}

TaskDate EditTaskTypeDialog::Date() const {
    const QDate date = deadline_->date();
    return {date.year(), date.month(), date.day()};
}

void EditTaskTypeDialog::Render() {
    const QSignalBlocker quiet(names_);
    names_->setCurrentText(FromCp1250(model_.CurrentName()));
    points_->setText(FromCp1250(model_.PointsText()));
    const TaskDate date = model_.Deadline();
    deadline_->setDate(QDate(date.year, date.month, date.day));
}

void EditTaskTypeDialog::SelectName(int index) {
    model_.FocusOut(points_->text().toStdString(), Date());
    if (index >= 0) {
        model_.Select(model_.Names()[static_cast<std::size_t>(index)]);
    }
    Render();
}

void EditTaskTypeDialog::Change() {
    model_.Change(points_->text().toStdString(), Date());
    Render();
}

void EditTaskTypeDialog::Delete() {
    if (model_.Delete()) {
        accept();
    }
}

} // namespace tarvel
