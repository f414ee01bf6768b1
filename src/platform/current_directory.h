// Entering a folder as the process's current directory for a while, and
// going back to the one before.
#pragma once
#include <optional>
#include <string>

namespace qvo::platform {

class CurrentDirectorySwitch {
public:
    enum class Step { Remember, Enter, Return };
    struct Failure {
        Step step;
        int error; // the system's error number
    };

    CurrentDirectorySwitch() = default;
    // Goes back if leave() was not called; errors cannot be reported here.
    ~CurrentDirectorySwitch();
    CurrentDirectorySwitch(const CurrentDirectorySwitch &) = delete;
    CurrentDirectorySwitch &operator=(const CurrentDirectorySwitch &) = delete;

    // Remembers the present directory (by descriptor: it survives renames
    // and needs no path length limit) and enters `folder`; on failure the
    // current directory is unchanged.
    std::optional<Failure> enter(const std::string &folder);
    // Goes back to the remembered directory.
    std::optional<Failure> leave();

private:
    int previous_ = -1;
};

} // namespace qvo::platform
