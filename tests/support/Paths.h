#pragma once
// Where the test program finds the checkout (installation template, compiler wrappers) and the build (programs).

#include <string>

namespace tarvel::testing {

inline std::string SourceDir() { return TARVEL_TEST_SOURCE_DIR; }
inline std::string BinaryDir() { return TARVEL_TEST_BINARY_DIR; }
inline std::string ProgramPath(const std::string& name) { return BinaryDir() + "/bin/" + name; }

} // namespace tarvel::testing
