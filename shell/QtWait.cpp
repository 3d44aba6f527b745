#include "shell/QtWait.h"

#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <thread>

namespace tarvel {

void WaitWithoutInput(const std::function<bool()>& done, std::chrono::milliseconds step) {
    while (!done()) {
        QEventLoop wait;
        QTimer::singleShot(step, &wait, &QEventLoop::quit);
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

ProcessLauncher LaunchWhileRepainting(ProcessLauncher launcher) {
    return [launcher = std::move(launcher)](const ChildRequest& request) {
        ChildResult result;
        std::atomic<bool> ended{false};
        std::thread child([&] {
            result = launcher(request);
            ended = true;
        });
        WaitWithoutInput([&] { return ended.load(); }, std::chrono::milliseconds(50));
        child.join();
        return result;
    };
}

} // namespace tarvel
