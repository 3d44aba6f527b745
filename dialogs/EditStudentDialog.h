#pragma once
// "Editácia študenta": the class list; the selected student's e-mail, group and teacher to change; deleting
// him; and the reassignment of new variants to him. The state is the model's (StudentEditing); the widgets
// pass on what the teacher does and show what the model holds.

#include "dialogs/StudentEditing.h"

#include <QDialog>

#include <functional>
#include <string>

class QComboBox;
class QLineEdit;
class QListWidget;

namespace tarvel {

class EditStudentDialog : public QDialog {
    Q_OBJECT

public:
    // `reassign` runs the reassignment for the UNI ID of the selected student.
    EditStudentDialog(Database& db, Prompts& prompts, std::function<void(const std::string&)> reassign,
                      QWidget* parent = nullptr);

private:
    // The fields as the widgets hold them; false when a text has no Windows-1250 form, told when `tell`
    // (the focus tracking reads quietly: a box there would move the focus again).
    bool Read(StudentFields& fields, bool tell);
    void Render();
    void SelectRow(int row);
    void Change();
    void Delete();
    void Reassign();
    void Track(StudentControl control, QWidget& widget);

    Prompts& prompts_;
    StudentEditing model_;
    std::function<void(const std::string&)> reassign_;
    QListWidget* students_;
    QLineEdit* email_;
    QLineEdit* group_;
    QComboBox* teacher_;
};

} // namespace tarvel
