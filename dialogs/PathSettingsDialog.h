#pragma once
// "Nastavenie ciest": the C compiler's directory, the text editor and the web browser. "OK" writes all three,
// empty ones too, and closes.

#include <QDialog>

#include <string>

class QLineEdit;

namespace tarvel {

class PathSettingsDialog : public QDialog {
    Q_OBJECT

public:
    explicit PathSettingsDialog(std::string configPath, QWidget* parent = nullptr);

private:
    void Confirm();

    std::string configPath_;
    QLineEdit* compiler_;
    QLineEdit* editor_;
    QLineEdit* browser_;
};

} // namespace tarvel
