#pragma once
// "O programe": the picture, a short description of the system and OK.

#include <QDialog>

namespace tarvel {

class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

} // namespace tarvel
