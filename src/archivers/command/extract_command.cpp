#include "archivers/command/extract_command.h"

#include "archivers/command/member_list_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <system_error>

namespace qvo::archivers::command {
namespace {

bool contains(const std::vector<std::string> &list, const std::string &s)
{
    return std::find(list.begin(), list.end(), s) != list.end();
}

std::optional<uint64_t> limitFromEnvironment()
{
    const char *text = std::getenv("QVO_TEST_EXTRACT_LIMIT");
    if (!text || !*text)
        return std::nullopt;
    char *end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0')
        return std::nullopt;
    return static_cast<uint64_t>(v);
}

// The encoding QVO_SWITCH_NAMES names, as listed in QVO_NAME_CHARSETS
// (letter case aside); "" for one not listed, nullopt for another switch.
std::optional<std::string> nameCharsetSwitch(const std::string &text)
{
    const std::string prefix = QVO_SWITCH_NAMES "=";
    if (text.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    std::string_view named = std::string_view(text).substr(prefix.size());
#define QVO_NAME_CHARSET_MATCH(name)                                                             \
    if (named.size() == std::string_view(name).size() &&                                         \
        std::equal(named.begin(), named.end(), name, [](char a, char b) {                       \
            return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b)); \
        }))                                                                                      \
        return std::string(name);
    QVO_NAME_CHARSETS(QVO_NAME_CHARSET_MATCH)
#undef QVO_NAME_CHARSET_MATCH
    return std::string();
}

} // namespace

bool parseExtractCommand(const std::vector<Token> &tokens, const ExtractGrammar &grammar,
                         ExtractRequest &request)
{
    if (tokens.empty() || tokens[0].quoted)
        return false;
    auto cmd = std::find_if(grammar.commands.begin(), grammar.commands.end(),
                            [&](const ExtractGrammar::Command &c) { return c.word == tokens[0].text; });
    if (cmd == grammar.commands.end())
        return false;
    request = ExtractRequest{};
    request.restorePaths = cmd->restorePaths;

    bool listMembers = false;
    std::vector<std::filesystem::path> paths;
    for (size_t i = 1; i < tokens.size(); ++i) {
        const Token &t = tokens[i];
        if (isSwitch(t)) {
            if (!paths.empty())
                return false; // switches come before the paths
            if (t.text == QVO_SWITCH_CONVERSION)
                request.linksAsData = true;
            else if (std::optional<std::string> charset = nameCharsetSwitch(t.text)) {
                if (charset->empty())
                    return false; // an encoding we do not offer
                request.nameCharset = *charset;
            }
            else if (t.text == QVO_SWITCH_MEMBER_LIST)
                listMembers = true;
            else if (contains(grammar.flatSwitches, t.text))
                request.restorePaths = false;
            else if (contains(grammar.overwriteSwitches, t.text))
                request.overwrite = true;
            else if (!contains(grammar.quietSwitches, t.text))
                return false;
            continue;
        }
        paths.emplace_back(t.text);
    }
    if (paths.size() != (listMembers ? 3u : 2u))
        return false;
    request.archive = paths[0];
    request.destination = paths[1];
    if (listMembers)
        request.memberList = paths[2];
    return true;
}

int32_t runExtract(const ExtractRequest &request, const ArchiveReader &reader)
{
    std::error_code ec;
    if (request.archive.empty() || !std::filesystem::is_regular_file(request.archive, ec))
        return kErrOpenArchive;
    if (request.destination.empty() || !std::filesystem::is_directory(request.destination, ec))
        return kErrWrite;

    extract::ExtractOptions options;
    options.destination = request.destination;
    options.restorePaths = request.restorePaths;
    options.overwrite = request.overwrite;
    options.maxTotalBytes = limitFromEnvironment();
    options.linksAsData = request.linksAsData;
    options.listMembers = !request.memberList.empty();

    extract::ExtractSink sink(options);
    int32_t readerResult = reader(request.archive, request.nameCharset, sink);
    if (readerResult != kOk)
        sink.recordFailure(readerResult);
    int32_t sinkResult = sink.finish();
    if (readerResult != kOk)
        return readerResult;
    if (sinkResult == kOk && options.listMembers && !writeMemberList(request.memberList, sink.listedMembers()))
        return kErrWrite;
    return sinkResult;
}

int32_t runExtractCommand(const std::vector<Token> &tokens, const ExtractGrammar &grammar,
                          const ArchiveReader &reader)
{
    ExtractRequest request;
    if (!parseExtractCommand(tokens, grammar, request))
        return kErrCommandLine;
    return runExtract(request, reader);
}

} // namespace qvo::archivers::command
