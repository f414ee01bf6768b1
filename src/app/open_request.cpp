#include "app/open_request.h"

namespace qvo::app {
namespace {

constexpr std::string_view kHeader = "QVO-OPEN 1\n";

} // namespace

std::string encodeOpenRequest(const std::vector<std::string> &paths)
{
    std::string out(kHeader);
    for (const std::string &path : paths) {
        // A NUL inside would split the path; no file name holds one.
        if (path.empty() || path.find('\0') != std::string::npos)
            continue;
        out += path;
        out += '\0';
    }
    out += '\0';
    return out;
}

DecodedOpenRequest decodeOpenRequest(std::string_view received)
{
    DecodedOpenRequest result;
    if (received.size() > kMaxOpenRequestBytes) {
        result.state = OpenRequestState::invalid;
        return result;
    }
    if (received.size() < kHeader.size()) {
        if (kHeader.substr(0, received.size()) != received)
            result.state = OpenRequestState::invalid;
        return result;
    }
    if (received.substr(0, kHeader.size()) != kHeader) {
        result.state = OpenRequestState::invalid;
        return result;
    }
    size_t at = kHeader.size();
    while (at < received.size()) {
        const size_t end = received.find('\0', at);
        if (end == std::string_view::npos)
            break;
        if (end == at) {
            // The empty record ends the list; nothing may follow it.
            result.state = end + 1 == received.size() ? OpenRequestState::complete : OpenRequestState::invalid;
            if (result.state == OpenRequestState::invalid)
                result.paths.clear();
            return result;
        }
        result.paths.emplace_back(received.substr(at, end - at));
        at = end + 1;
    }
    result.paths.clear();
    return result;
}

} // namespace qvo::app
