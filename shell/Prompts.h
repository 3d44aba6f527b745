#pragma once
// The one seam for everything the system asks or tells the teacher: message boxes, the open and save file
// dialogs and the folder browser. Commands and dialog models take it by reference; the window program shows
// real boxes, tests answer from a script. All texts are Windows-1250; paths are file-system bytes.

#include "platform/Cp1250.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarvel {

enum class PromptButtons { Ok, OkCancel, YesNo };
// Windows' "exclamation" is the warning icon: the two are one.
enum class PromptIcon { None, Information, Question, Warning, Error };

struct Prompt {
    std::string text;
    std::string title;
    PromptButtons buttons = PromptButtons::Ok;
    PromptIcon icon = PromptIcon::None;
};

struct FileRequest {
    std::string title;
    std::string initialPath;
    std::string filter; // "Znenie zadaní (*.txt)|*.txt|Všetky súbory (*.*)|*.*||"
    std::string defaultExtension;
};

struct FolderRequest {
    std::string title;
    std::string root; // where the browser starts; the teacher may not leave it
};

class Prompts {
public:
    virtual ~Prompts() = default;
    // True when the teacher chose OK or Yes.
    virtual bool Ask(const Prompt& prompt) = 0;
    virtual void Tell(const Prompt& prompt) = 0;
    // The chosen path; nullopt when the teacher cancelled.
    virtual std::optional<std::string> ChooseOpenFile(const FileRequest& request) = 0;
    virtual std::optional<std::string> ChooseSaveFile(const FileRequest& request) = 0;
    virtual std::optional<std::string> ChooseFolder(const FolderRequest& request) = 0;
};

// Tells one of the system's own texts, written in UTF-8 in the code, in a box with an OK button.
inline void Tell(Prompts& prompts, std::string_view text, std::string_view title,
                 PromptIcon icon = PromptIcon::Error) {
    prompts.Tell({Cp1250Text(text), Cp1250Text(title), PromptButtons::Ok, icon});
}

} // namespace tarvel
