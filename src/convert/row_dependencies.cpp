#include "convert/row_dependencies.h"

#include "base/ascii.h"

#include <filesystem>

namespace qvo::convert {

namespace {

std::string resolved(const std::filesystem::path &path)
{
    std::error_code ec;
    std::filesystem::path full = std::filesystem::weakly_canonical(path, ec);
    return ec ? path.lexically_normal().string() : full.string();
}

// fileIdentity for many paths: the rows of a batch share a few folders,
// each resolved once.
class Identities {
public:
    std::string of(const std::string &path)
    {
        const std::filesystem::path p(path);
        std::error_code ec;
        const bool plainName = p.has_filename() && p.filename() != "." && p.filename() != "..";
        if (!plainName || std::filesystem::is_symlink(p, ec))
            return base::asciiLower(resolved(p));
        auto [it, fresh] = folders_.try_emplace(p.parent_path().string());
        if (fresh)
            it->second = resolved(p.parent_path());
        return base::asciiLower((std::filesystem::path(it->second) / p.filename()).string());
    }

private:
    std::map<std::string, std::string> folders_;
};

} // namespace

std::string fileIdentity(const std::string &path)
{
    return Identities().of(path);
}

RowDependencies::RowDependencies(const std::vector<RowFiles> &rows) : filesOfRow_(rows.size())
{
    Identities identities;
    for (size_t row = 0; row < rows.size(); ++row) {
        for (const std::string *path : {&rows[row].source, &rows[row].target}) {
            if (path->empty())
                continue;
            FileUsers &users = users_[identities.of(*path)];
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
