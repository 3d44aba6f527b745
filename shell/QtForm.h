#pragma once
// The layout every small dialog of the window shares: labelled fields above, "OK" and "Späť" at the bottom
// right. "Späť" rejects; "OK" is the default button and is connected by the dialog.

#include <QDialog>

#include <vector>

class QLineEdit;
class QPushButton;

namespace tarvel {

struct FormField {
    const char* label; // UTF-8
    QLineEdit* edit;
};

// Lays out the fields and the two buttons on the dialog and returns "OK" (okButton; "Späť" is backButton).
QPushButton* LayOutForm(QDialog& dialog, const std::vector<FormField>& fields);

// A line edit with its object name and, when maxLength is above 0, that limit.
QLineEdit* NamedEdit(QDialog& dialog, const char* objectName, int maxLength = 0, bool password = false);

} // namespace tarvel
