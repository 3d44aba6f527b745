// zorconfig: sets a key of zor.ini from the installation scripts, with the same file semantics and locking as
// the system itself. With --if-missing an existing value (a teacher's own setting) is never replaced.

#include "shell/Config.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    const bool ifMissing = argc > 1 && std::strcmp(argv[1], "--if-missing") == 0;
    const int first = ifMissing ? 2 : 1;
    if (argc - first != 4) {
        std::fprintf(stderr, "usage: zorconfig [--if-missing] CONFIG SECTION KEY VALUE\n");
        return 2;
    }
    const std::string config = argv[first];
    const std::string section = argv[first + 1];
    const std::string key = argv[first + 2];
    const std::string value = argv[first + 3];
    // A value that cannot be the sentinel of a missing key tells "missing" from "empty".
    const std::string missing(1, '\n');
    if (ifMissing && tarvel::ReadConfig(config, section, key, missing) != missing) {
        return 0;
    }
    if (!tarvel::WriteConfig(config, section, key, value)) {
        std::fprintf(stderr, "zorconfig: cannot write %s in %s\n", key.c_str(), config.c_str());
        return 1;
    }
    return 0;
}
