#include "archivers/command/command_line.h"

namespace qvo::archivers::command {

bool tokenizeCommandLine(std::string_view line, std::vector<Token> &out)
{
    out.clear();
    size_t i = 0;
    const size_t n = line.size();
    while (i < n) {
        while (i < n && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= n)
            break;
        Token tok;
        bool inQuote = false;
        while (i < n && (inQuote || (line[i] != ' ' && line[i] != '\t'))) {
            if (line[i] == '"') {
                inQuote = !inQuote;
                tok.quoted = true;
            } else {
                tok.text.push_back(line[i]);
            }
            ++i;
        }
        if (inQuote)
            return false;
        out.push_back(std::move(tok));
    }
    return true;
}

} // namespace qvo::archivers::command
