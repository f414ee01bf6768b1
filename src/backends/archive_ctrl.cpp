#include "backends/archive_ctrl.h"

#include "base/ascii.h"

#include <stdexcept>

namespace qvo::archive {

namespace {

bool qualifies(const clsArchiveProperties &record, int32_t mode)
{
    return record.getValid() && (record.getSupportMode() & mode) != 0;
}

} // namespace

void clsArchiveCtrl::addArchive(std::shared_ptr<clsArchiveBackEnd> backEnd)
{
    if (!backEnd)
        throw std::invalid_argument("addArchive: no back-end");
    std::string key = backEnd->GetProperties()->getKeyID();
    if (find(key))
        throw std::invalid_argument("addArchive: key already registered: " + key);
    registry_.emplace_back(std::move(key), std::move(backEnd));
}

clsArchiveBackEnd *clsArchiveCtrl::find(const std::string &key) const
{
    for (const auto &[registeredKey, backEnd] : registry_)
        if (base::asciiEqualsIgnoringCase(registeredKey, key))
            return backEnd.get();
    return nullptr;
}

std::string clsArchiveCtrl::getExtensionFromFileName(const std::string &fileName)
{
    const size_t dot = fileName.rfind('.');
    std::string ext = dot == std::string::npos ? fileName : fileName.substr(dot + 1);
    return base::asciiLower(ext);
}

std::string clsArchiveCtrl::checkArchive(const std::string &fileName, int32_t mode) const
{
    const std::string ext = getExtensionFromFileName(fileName);
    for (const auto &entry : registry_) {
        const auto record = entry.second->GetProperties();
        if (record->getExtension() == ext && qualifies(*record, mode))
            return record->getKeyID();
    }
    return {};
}

std::string clsArchiveCtrl::getDialogFilter(int32_t mode, const std::string &key) const
{
    if (!key.empty()) {
        const clsArchiveBackEnd *backEnd = find(key);
        return backEnd ? backEnd->getDialogFilter() : std::string();
    }
    std::string entries;
    std::string patterns;
    for (const auto &entry : registry_) {
        const auto record = entry.second->GetProperties();
        if (!qualifies(*record, mode))
            continue;
        entries += "|" + entry.second->getDialogFilter();
        patterns += "*." + record->getExtension() + ";";
    }
    if (!patterns.empty() && patterns.back() == ';')
        patterns.pop_back();
    return "対応するすべての形式書庫ファイル(" + patterns + ")|" + patterns + entries +
           "|すべてのファイル(*.*)|*.*";
}

int32_t clsArchiveCtrl::compress(clsArchiveActionOption &option)
{
    if (option.convTypeKey().empty())
        return kRequestRefused;
    clsArchiveBackEnd *backEnd = find(option.convTypeKey());
    return backEnd ? backEnd->compress(option) : kRequestRefused;
}

int32_t clsArchiveCtrl::extract(clsArchiveActionOption &option)
{
    const std::string key = checkArchive(option.beforeFileName(), SUPPORT_EXTRACT);
    if (key.empty())
        return 0;
    return find(key)->extract(option);
}

bool clsArchiveCtrl::isValid(const std::string &key) const
{
    const clsArchiveBackEnd *backEnd = find(key);
    return backEnd && backEnd->GetProperties()->getValid();
}

} // namespace qvo::archive
