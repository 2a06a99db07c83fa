#pragma once
#include <stdexcept>
#include <string>

namespace kelo {

// A bad command-line option or script line. The message names the problem in one line;
// the simulator prints it and exits with code 2 before writing anything.
class SimUsageError : public std::runtime_error {
public:
    explicit SimUsageError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace kelo
