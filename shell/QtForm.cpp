#include "shell/QtForm.h"

#include "shell/GuiText.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace tarvel {

QPushButton* LayOutForm(QDialog& dialog, const std::vector<FormField>& fields) {
    auto* form = new QFormLayout;
    for (const FormField& field : fields) {
        form->addRow(GuiText(field.label), field.edit);
    }
    auto* ok = new QPushButton(GuiText("OK"), &dialog);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* back = new QPushButton(GuiText("Späť"), &dialog);
    back->setObjectName(QStringLiteral("backButton"));
    QObject::connect(back, &QPushButton::clicked, &dialog, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(back);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addLayout(buttons);
    dialog.setMinimumWidth(360);
    return ok;
}

QLineEdit* NamedEdit(QDialog& dialog, const char* objectName, int maxLength, bool password) {
    auto* edit = new QLineEdit(&dialog);
    edit->setObjectName(QString::fromLatin1(objectName));
    if (maxLength > 0) {
        edit->setMaxLength(maxLength);
    }
    if (password) {
        edit->setEchoMode(QLineEdit::Password);
    }
    return edit;
}

} // namespace tarvel
