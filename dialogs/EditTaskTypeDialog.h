#pragma once
// "Editovanie typu zadania": the task types, the selected one's points and deadline to change, and deleting
// it. The state is the model's (TaskTypeEditing).

#include "dialogs/TaskTypeEditing.h"

#include <QDialog>

class QComboBox;
class QDateEdit;
class QLineEdit;

namespace tarvel {

class EditTaskTypeDialog : public QDialog {
    Q_OBJECT

public:
    EditTaskTypeDialog(Database& db, Prompts& prompts, QWidget* parent = nullptr);

private:
    TaskDate Date() const;
    void Render();
    void SelectName(int index);
    void Change();
    void Delete();

    TaskTypeEditing model_;
    QComboBox* names_;
    QLineEdit* points_;
    QDateEdit* deadline_;
};

} // namespace tarvel
