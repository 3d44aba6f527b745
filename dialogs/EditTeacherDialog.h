#pragma once
// "Editácia učiteľa": the teachers; the selected one's e-mail, room and password to change, and deleting
// him. The state is the model's (TeacherEditing).

#include "dialogs/TeacherEditing.h"

#include <QDialog>

class QLineEdit;
class QListWidget;

namespace tarvel {

class EditTeacherDialog : public QDialog {
    Q_OBJECT

public:
    EditTeacherDialog(Database& db, Prompts& prompts, QWidget* parent = nullptr);

private:
    // False when a text has no Windows-1250 form, told when `tell` (the focus tracking reads quietly).
    bool Read(TeacherFields& fields, bool tell);
    void Render();
    void SelectRow(int row);
    void Change();
    void Delete();
    void Track(TeacherControl control, QWidget& widget);

    Prompts& prompts_;
    TeacherEditing model_;
    QListWidget* teachers_;
    QLineEdit* email_;
    QLineEdit* oldPassword_;
    QLineEdit* newPassword_;
    QLineEdit* confirmation_;
    QLineEdit* room_;
};

} // namespace tarvel
