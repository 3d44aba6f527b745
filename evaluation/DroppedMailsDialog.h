#pragma once
// "Nespracované maily": the dropped mails with their reasons; one can be read as text.

#include "shell/Prompts.h"

#include <QDialog>

#include <string>

namespace tarvel {

class DroppedMailsDialog : public QDialog {
    Q_OBJECT

public:
    DroppedMailsDialog(const std::string& zorpath, Prompts& prompts, QWidget* parent = nullptr);
};

} // namespace tarvel
