#pragma once
// The layout every small dialog of the window shares: labelled fields above, the buttons at the bottom
// right, the first of them the default button. A button named "backButton" rejects the dialog; the dialog
// connects the others. Also the reading of the fields as Windows-1250, and the lists of keyed entries.

#include "dialogs/ListLines.h"
#include "shell/Prompts.h"

#include <QDialog>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tarvel {

struct FormField {
    const char* label; // UTF-8
    QWidget* field;
};

struct FormButton {
    const char* text; // UTF-8
    const char* objectName;
};

// Lays out the fields and the buttons on the dialog and returns the buttons in the order given.
std::vector<QPushButton*> LayOutDialog(QDialog& dialog, const std::vector<FormField>& fields,
                                       const std::vector<FormButton>& buttons);
// The fields with "OK" (okButton) and "Späť" (backButton); returns "OK".
QPushButton* LayOutForm(QDialog& dialog, const std::vector<FormField>& fields);

// A line edit with its object name and, when maxLength is above 0, that limit.
QLineEdit* NamedEdit(QDialog& dialog, const char* objectName, int maxLength = 0, bool password = false);
// A line edit that takes at most `digits` decimal digits and nothing else.
QLineEdit* DigitsEdit(QDialog& dialog, const char* objectName, int digits);

// A button beside a field, with its object name; it is never the default button.
QPushButton* NamedButton(QDialog& dialog, const char* text, const char* objectName);
// Widgets side by side as one field of the form, the first of them stretching.
QWidget* FieldRow(QDialog& dialog, std::initializer_list<QWidget*> widgets);

// Each edit's text as Windows-1250 into its string. When one has a character without a Windows-1250 form,
// tells the teacher so (owned by the dialog in front) and returns false; the strings are then unreliable.
using Cp1250Fields = std::initializer_list<std::pair<const QLineEdit*, std::string*>>;
bool ReadCp1250(Prompts& prompts, Cp1250Fields fields);
// The same without telling, for reads that run while the focus moves (a box there would move it again).
bool ConvertCp1250(Cp1250Fields fields);

// Calls `in` when the widget takes the input focus and `out` when it loses it, for the dialogs' change
// tracking.
void WatchFocus(QWidget& widget, std::function<void()> in, std::function<void()> out);

// The entries' texts, in their order, replacing what the list held; the selection is the caller's.
void ShowEntries(QComboBox& list, const std::vector<ListEntry>& entries);
void ShowEntries(QListWidget& list, const std::vector<ListEntry>& entries);
// Names (Windows-1250) as the list's entries, the one equal to `selected` current.
void ShowNames(QComboBox& list, const std::vector<std::string>& names, const std::string& selected);

} // namespace tarvel
