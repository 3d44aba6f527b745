#pragma once
// Where the test program finds the checkout (installation template, compiler wrappers), the build (programs)
// and the tools it runs.

#include <cstdlib>
#include <string>

namespace tarvel::testing {

inline std::string SourceDir() {
    return TARVEL_TEST_SOURCE_DIR;
}
inline std::string BinaryDir() {
    return TARVEL_TEST_BINARY_DIR;
}
inline std::string ProgramPath(const std::string& name) {
    return BinaryDir() + "/bin/" + name;
}

// Whether a tool (cc, make, python3) is on the PATH.
inline bool HasTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace tarvel::testing
