#pragma once
// Setting and clearing environment variables for code that reads them with
// std::getenv.
#include <cstdlib>
#include <string>

namespace orvex::test {

// On Windows the C runtime keeps no empty variables: setting "" removes the
// variable.
inline void SetEnv(const std::string& name, const std::string& value) {
#ifdef _WIN32
    ::_putenv_s(name.c_str(), value.c_str());
#else
    ::setenv(name.c_str(), value.c_str(), 1);
#endif
}

inline void UnsetEnv(const std::string& name) {
#ifdef _WIN32
    ::_putenv_s(name.c_str(), "");
#else
    ::unsetenv(name.c_str());
#endif
}

}  // namespace orvex::test
