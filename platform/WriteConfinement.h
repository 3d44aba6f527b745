#pragma once
// Confines a child's writes to a few directories with the kernel's Landlock: the child may still read and
// execute everything, but creates, changes and removes files only beneath the directories it is given (and
// writes /dev/null). Files it already has open are not affected. Where the kernel has no Landlock the child
// is not confined this way; its other limits still hold.

#include <string>
#include <vector>

namespace tarvel {

inline constexpr int kConfinementUnsupported = -1;
inline constexpr int kConfinementFailed = -2;

// The rule set, built in the parent: a descriptor, kConfinementUnsupported when the kernel has no Landlock,
// or kConfinementFailed (errno set) when a directory cannot be opened or a rule not added.
int MakeWriteConfinement(const std::vector<std::string>& writableDirectories);

// Applies the rule set to the calling process and everything it starts from now on. Only async-signal-safe
// calls: for a child between fork and exec.
bool ConfineWrites(int rulesetFd);

} // namespace tarvel
