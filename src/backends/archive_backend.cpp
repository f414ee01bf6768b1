#include "backends/archive_backend.h"

namespace qvo::archive {

std::string dialogFilterEntry(const clsArchiveProperties &properties)
{
    const std::string &ext = properties.getExtension();
    return properties.getName() + "形式書庫ファイル (*." + ext + ")|*." + ext;
}

bool fitsCommandLine(std::string_view path)
{
    return path.find('"') == std::string_view::npos && path.find('\0') == std::string_view::npos;
}

std::string quoted(const std::string &path)
{
    return "\"" + path + "\"";
}

clsArchiveBackEndBase::clsArchiveBackEndBase(int32_t supportMode, const std::string &extension,
                                             const std::string &name)
    : properties_(std::make_shared<clsArchiveProperties>())
{
    properties_->setSupportMode(supportMode);
    properties_->setExtension(extension);
    properties_->setName(name);
}

} // namespace qvo::archive
