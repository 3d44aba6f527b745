#pragma once
// "Nespracované maily": the mails the daemon dropped, with date, sender, subject and its reason; one can be
// read as text in a read-only window. The mails' bytes are shown through the Windows-1250 table, whatever
// they hold.

#include "evaluation/DroppedMails.h"
#include "shell/Prompts.h"

#include <QDialog>

#include <string>
#include <vector>

class QTreeWidget;

namespace tarvel {

class DroppedMailsDialog : public QDialog {
    Q_OBJECT

public:
    // Lists the dropped/ folder of the installation zorpath; a folder that cannot be read is told.
    DroppedMailsDialog(const std::string& zorpath, Prompts& prompts, QWidget* parent = nullptr);

private:
    // "Otvoriť" and a double click: the selected mail in a window of its own ("mailWindow", the text in
    // "mailText"); a mail that cannot be read is told.
    void OpenSelected();

    std::string zorpath_;
    Prompts& prompts_;
    std::vector<DroppedMail> mails_; // in the list's order
    QTreeWidget* list_;
};

} // namespace tarvel
