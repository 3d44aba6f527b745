#pragma once
// Waiting on the GUI thread for something that takes as long as it takes (the daemon's cycle in progress, the
// teacher's editor): the window keeps repainting and takes no input meanwhile.

#include "platform/ChildProcess.h"

#include <chrono>
#include <functional>

namespace tarvel {

// Returns once done() holds, looking every `step`.
void WaitWithoutInput(const std::function<bool()>& done, std::chrono::milliseconds step);

// The launcher, run on a thread of its own while the GUI thread waits as above.
ProcessLauncher LaunchWhileRepainting(ProcessLauncher launcher);

} // namespace tarvel
