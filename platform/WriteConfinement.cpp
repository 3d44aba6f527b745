#include "platform/WriteConfinement.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/landlock.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tarvel {
namespace {

// LANDLOCK_ACCESS_FS_TRUNCATE of Landlock's third version, newer than Debian 12's kernel headers.
constexpr __u64 kTruncateRight = 1ULL << 14;

// Every right that changes the file system, as far as the running kernel's Landlock knows it.
__u64 WriteRights(long abi) {
    __u64 rights = LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_REMOVE_DIR |
                   LANDLOCK_ACCESS_FS_REMOVE_FILE | LANDLOCK_ACCESS_FS_MAKE_CHAR |
                   LANDLOCK_ACCESS_FS_MAKE_DIR | LANDLOCK_ACCESS_FS_MAKE_REG | LANDLOCK_ACCESS_FS_MAKE_SOCK |
                   LANDLOCK_ACCESS_FS_MAKE_FIFO | LANDLOCK_ACCESS_FS_MAKE_BLOCK | LANDLOCK_ACCESS_FS_MAKE_SYM;
    if (abi >= 2) {
        rights |= LANDLOCK_ACCESS_FS_REFER;
    }
    if (abi >= 3) {
        rights |= kTruncateRight;
    }
    return rights;
}

// The rights that apply to a file rather than a directory.
__u64 FileWriteRights(long abi) {
    return LANDLOCK_ACCESS_FS_WRITE_FILE | (abi >= 3 ? kTruncateRight : 0);
}

bool AllowBeneath(int rulesetFd, const char* path, __u64 rights) {
    const int fd = open(path, O_PATH | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    landlock_path_beneath_attr rule{};
    rule.allowed_access = rights;
    rule.parent_fd = fd;
    const bool added = syscall(SYS_landlock_add_rule, rulesetFd, LANDLOCK_RULE_PATH_BENEATH, &rule, 0) == 0;
    const int error = errno;
    close(fd);
    errno = error;
    return added;
}

} // namespace

int MakeWriteConfinement(const std::vector<std::string>& writableDirectories) {
    const long abi = syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi < 1) {
        return kConfinementUnsupported;
    }
    landlock_ruleset_attr attributes{};
    attributes.handled_access_fs = WriteRights(abi);
    const int rulesetFd =
        static_cast<int>(syscall(SYS_landlock_create_ruleset, &attributes, sizeof attributes, 0));
    if (rulesetFd < 0) {
        return kConfinementUnsupported;
    }
    bool ok = AllowBeneath(rulesetFd, "/dev/null", FileWriteRights(abi));
    for (const auto& directory : writableDirectories) {
        ok = ok && AllowBeneath(rulesetFd, directory.c_str(), WriteRights(abi));
    }
    if (!ok) {
        const int error = errno;
        close(rulesetFd);
        errno = error;
        return kConfinementFailed;
    }
    return rulesetFd;
}

bool ConfineWrites(int rulesetFd) {
    // Landlock binds only a process that cannot regain rights through setuid programs.
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           syscall(SYS_landlock_restrict_self, rulesetFd, 0) == 0;
}

} // namespace tarvel
