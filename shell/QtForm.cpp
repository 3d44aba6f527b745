#include "shell/QtForm.h"

#include "platform/Cp1250.h"
#include "shell/GuiText.h"

#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>

namespace tarvel {
namespace {

class FocusWatch : public QObject {
public:
    FocusWatch(QWidget& widget, std::function<void()> in, std::function<void()> out)
        : QObject(&widget), in_(std::move(in)), out_(std::move(out)) {
        widget.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) {
            in_();
        } else if (event->type() == QEvent::FocusOut) {
            out_();
        }
        return false;
    }

private:
    std::function<void()> in_;
    std::function<void()> out_;
};

} // namespace

std::vector<QPushButton*> LayOutDialog(QDialog& dialog, const std::vector<FormField>& fields,
                                       const std::vector<FormButton>& buttons) {
    auto* form = new QFormLayout;
    for (const FormField& field : fields) {
        form->addRow(GuiText(field.label), field.field);
    }
    auto* row = new QHBoxLayout;
    row->addStretch();
    std::vector<QPushButton*> made;
    for (const FormButton& button : buttons) {
        QPushButton* push = NamedButton(dialog, button.text, button.objectName);
        push->setDefault(made.empty());
        if (QString::fromLatin1(button.objectName) == QStringLiteral("backButton")) {
            QObject::connect(push, &QPushButton::clicked, &dialog, &QDialog::reject);
        }
        row->addWidget(push);
        made.push_back(push);
    }
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addLayout(row);
    dialog.setMinimumWidth(360);
    return made;
}

QPushButton* LayOutForm(QDialog& dialog, const std::vector<FormField>& fields) {
    return LayOutDialog(dialog, fields, {{"OK", "okButton"}, {"Späť", "backButton"}}).front();
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

QLineEdit* DigitsEdit(QDialog& dialog, const char* objectName, int digits) {
    QLineEdit* edit = NamedEdit(dialog, objectName, digits);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(digits)), edit));
    return edit;
}

QPushButton* NamedButton(QDialog& dialog, const char* text, const char* objectName) {
    auto* button = new QPushButton(GuiText(text), &dialog);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setAutoDefault(false);
    // A button as short as its text, as "..." beside a path.
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(button->text()) + 24);
    return button;
}

QWidget* FieldRow(QDialog& dialog, std::initializer_list<QWidget*> widgets) {
    auto* row = new QWidget(&dialog);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    int stretch = 1;
    for (QWidget* widget : widgets) {
        layout->addWidget(widget, stretch);
        stretch = 0;
    }
    return row;
}

bool ReadCp1250(Prompts& prompts, Cp1250Fields fields) {
    if (ConvertCp1250(fields)) {
        return true;
    }
    prompts.Tell({Cp1250Text("Údaje obsahujú znak, ktorý sa nedá uložiť (mimo kódovania Windows-1250) !!!"),
                  Cp1250Text("Chyba údajov"), PromptButtons::Ok, PromptIcon::Error});
    return false;
}

bool ConvertCp1250(Cp1250Fields fields) {
    for (const auto& [edit, value] : fields) {
        if (!ToCp1250(edit->text(), *value)) {
            return false;
        }
    }
    return true;
}

void WatchFocus(QWidget& widget, std::function<void()> in, std::function<void()> out) {
    new FocusWatch(widget, std::move(in), std::move(out));
}

void ShowEntries(QComboBox& list, const std::vector<ListEntry>& entries) {
    const QSignalBlocker quiet(list);
    list.clear();
    for (const ListEntry& entry : entries) {
        list.addItem(FromCp1250(entry.text));
    }
}

void ShowEntries(QListWidget& list, const std::vector<ListEntry>& entries) {
    const QSignalBlocker quiet(list);
    list.clear();
    for (const ListEntry& entry : entries) {
        list.addItem(FromCp1250(entry.text));
    }
}

void ShowNames(QComboBox& list, const std::vector<std::string>& names, const std::string& selected) {
    const QSignalBlocker quiet(list);
    list.clear();
    for (const std::string& name : names) {
        list.addItem(FromCp1250(name));
    }
    list.setCurrentText(FromCp1250(selected));
}

} // namespace tarvel
