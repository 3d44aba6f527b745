#pragma once
// Prompts for tests: every box, file request and folder request is recorded in order, and the answers come
// from queues the test fills. A question or request nobody scripted fails the test and is answered No or
// cancelled, so that a test never waits for a teacher.

#include "platform/Cp1250.h"
#include "shell/Prompts.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace tarvel::testing {

class ScriptedPrompts : public Prompts {
public:
    std::deque<bool> answers;
    std::deque<std::optional<std::string>> files; // for open and save requests alike
    std::deque<std::optional<std::string>> folders;

    std::vector<Prompt> asked;
    std::vector<Prompt> told;
    std::vector<FileRequest> fileRequests;
    std::vector<FolderRequest> folderRequests;

    bool Ask(const Prompt& prompt) override {
        asked.push_back(prompt);
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << Cp1250ToUtf8(prompt.text);
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void Tell(const Prompt& prompt) override { told.push_back(prompt); }
    std::optional<std::string> ChooseOpenFile(const FileRequest& request) override { return File(request); }
    std::optional<std::string> ChooseSaveFile(const FileRequest& request) override { return File(request); }
    std::optional<std::string> ChooseFolder(const FolderRequest& request) override {
        folderRequests.push_back(request);
        return Next(folders, request.title);
    }

private:
    std::optional<std::string> File(const FileRequest& request) {
        fileRequests.push_back(request);
        return Next(files, request.title);
    }
    static std::optional<std::string> Next(std::deque<std::optional<std::string>>& queue,
                                           const std::string& title) {
        if (queue.empty()) {
            ADD_FAILURE() << "unexpected request: " << Cp1250ToUtf8(title);
            return std::nullopt;
        }
        auto answer = queue.front();
        queue.pop_front();
        return answer;
    }
};

} // namespace tarvel::testing
