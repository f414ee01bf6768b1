// Tokenizer for the archiver libraries' command lines.
//
// A command line is UTF-8 text of tokens separated by spaces.  A token may be
// wrapped in double quotes, which keep spaces inside it and are removed; a
// quote may also open in the middle of a token ("-x"C:\a b" is one token).
// There is no escape character: a path cannot contain '"' on the systems
// these command lines come from.  An unterminated quote is an error.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace qvo::archivers::command {

struct Token {
    std::string text;
    bool quoted = false; // some part of the token was inside quotes
};

// Returns false on an unterminated quote; `out` is then unspecified.
bool tokenizeCommandLine(std::string_view line, std::vector<Token> &out);

// A switch is an unquoted token that starts with '-' and has more after it.
inline bool isSwitch(const Token &t)
{
    return !t.quoted && t.text.size() > 1 && t.text[0] == '-';
}

} // namespace qvo::archivers::command
