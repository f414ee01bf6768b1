#include "text/composed_names.h"

#include "text/cp932.h"

#include <cstdlib>
#include <unordered_map>
#include <utf8proc.h>

namespace qvo::text {

std::string composedName(std::string_view name)
{
    if (isAscii(name) || !isValidUtf8(name))
        return std::string(name);
    utf8proc_uint8_t *out = nullptr;
    const utf8proc_ssize_t n =
        utf8proc_map(reinterpret_cast<const utf8proc_uint8_t *>(name.data()), utf8proc_ssize_t(name.size()), &out,
                     utf8proc_option_t(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
    if (n < 0)
        return std::string(name); // code points utf8proc does not know yet
    std::string composed(reinterpret_cast<const char *>(out), size_t(n));
    std::free(out);
    return composed;
}

std::optional<std::vector<std::string>> composedNames(const std::vector<std::string> &names, NameClash *clash)
{
    std::vector<std::string> composed;
    composed.reserve(names.size());
    std::unordered_map<std::string_view, const std::string *> byComposed;
    byComposed.reserve(names.size());
    for (const std::string &name : names)
        composed.push_back(composedName(name));
    for (size_t i = 0; i < names.size(); ++i) {
        auto [it, fresh] = byComposed.emplace(composed[i], &names[i]);
        if (!fresh && *it->second != names[i]) {
            if (clash)
                *clash = {*it->second, names[i]};
            return std::nullopt;
        }
    }
    return composed;
}

} // namespace qvo::text
