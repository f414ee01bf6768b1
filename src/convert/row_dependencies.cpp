#include "convert/row_dependencies.h"

#include "base/ascii.h"

#include <filesystem>

namespace qvo::convert {

std::string fileIdentity(const std::string &path)
{
    std::error_code ec;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
    if (ec)
        resolved = std::filesystem::path(path).lexically_normal();
    return base::asciiLower(resolved.string());
}

RowDependencies::RowDependencies(const std::vector<RowFiles> &rows) : filesOfRow_(rows.size())
{
    for (size_t row = 0; row < rows.size(); ++row) {
        for (const std::string *path : {&rows[row].source, &rows[row].target}) {
            if (path->empty())
                continue;
            FileUsers &users = users_[fileIdentity(*path)];
            // A row whose source is its own target counts once.
            if (!users.rows.empty() && users.rows.back() == int(row))
                continue;
            users.rows.push_back(int(row));
            filesOfRow_[row].push_back(&users);
        }
    }
}

bool RowDependencies::mayStart(int row) const
{
    for (const FileUsers *users : filesOfRow_[size_t(row)])
        if (users->rows[users->done] != row)
            return false;
    return true;
}

void RowDependencies::finished(int row)
{
    for (FileUsers *users : filesOfRow_[size_t(row)])
        if (users->done < users->rows.size() && users->rows[users->done] == row)
            ++users->done;
}

} // namespace qvo::convert
