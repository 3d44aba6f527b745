#pragma once
// The questions and notices of the assignment commands. The GUI shows them as message boxes; tests answer
// them.

#include <string>

namespace tarvel {

enum class PromptButtons { Ok, OkCancel, YesNo };
enum class PromptIcon { Information, Exclamation, Warning };

struct Prompt {
    std::string text;  // Windows-1250
    std::string title; // Windows-1250
    PromptButtons buttons = PromptButtons::Ok;
    PromptIcon icon = PromptIcon::Information;
};

class AssignmentPrompts {
public:
    virtual ~AssignmentPrompts() = default;
    // True when the teacher chose OK or Yes.
    virtual bool Ask(const Prompt& prompt) = 0;
    virtual void Tell(const Prompt& prompt) = 0;
};

} // namespace tarvel
