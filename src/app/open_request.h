// What a second start of the program sends to the running one: the paths
// it was given, as bytes (file names need not be UTF-8), each ended by NUL.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvo::app {

// Requests larger than this are refused: only the user's own processes can
// reach the socket, but a stuck or stray writer must not fill the memory.
inline constexpr size_t kMaxOpenRequestBytes = 16 * 1024 * 1024;

// The request for `paths`; empty paths are left out (NUL ends the list).
std::string encodeOpenRequest(const std::vector<std::string> &paths);

enum class OpenRequestState { incomplete, complete, invalid };

struct DecodedOpenRequest {
    OpenRequestState state = OpenRequestState::incomplete;
    std::vector<std::string> paths;
};

// Decodes what arrived so far.
DecodedOpenRequest decodeOpenRequest(std::string_view received);

} // namespace qvo::app
