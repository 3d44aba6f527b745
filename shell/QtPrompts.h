#pragma once
// The prompts as the teacher sees them: message boxes, file dialogs and the folder browser. A box is owned
// by the modal dialog in front, if any, so that a dialog's message belongs to the dialog and a menu
// command's to no window.

#include "shell/Prompts.h"

#include <QString>

namespace tarvel {

class QtPrompts : public Prompts {
public:
    bool Ask(const Prompt& prompt) override;
    void Tell(const Prompt& prompt) override;
    std::optional<std::string> ChooseOpenFile(const FileRequest& request) override;
    std::optional<std::string> ChooseSaveFile(const FileRequest& request) override;
    std::optional<std::string> ChooseFolder(const FolderRequest& request) override;
};

// A filter of the form "Znenie zadaní (*.txt)|*.txt|Všetky súbory (*.*)|*.*||" (Windows-1250) as Qt's
// "Znenie zadaní (*.txt);;Všetky súbory (*.*)": each description with the patterns that follow it.
QString QtFileFilter(const std::string& filter);

} // namespace tarvel
