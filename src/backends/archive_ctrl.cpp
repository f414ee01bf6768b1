#include "backends/archive_ctrl.h"

#include "base/ascii.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string_view>

namespace qvo::backends {

namespace {

bool qualifies(const clsArchiveProperties &record, int32_t mode)
{
    return record.getValid() && (record.getSupportMode() & mode) != 0;
}

bool hasExtension(const clsArchiveProperties &record, const std::string &ext)
{
    const auto &others = record.getOtherExtensions();
    return record.getExtension() == ext || std::find(others.begin(), others.end(), ext) != others.end();
}

// Names self-extracting programs go by: DOS and Windows, the X68000, the
// Atari ST, the Amiga (which also leaves them nameless), and the archivers'
// own ".sfx".
constexpr std::array<std::string_view, 8> kProgramExtensions = {"exe", "com", "x", "tos", "ttp", "prg", "run", "sfx"};

std::string fileNameOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
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

const clsArchiveBackEnd *clsArchiveCtrl::findByExtension(const std::string &ext) const
{
    for (const auto &entry : registry_)
        if (hasExtension(*entry.second->GetProperties(), ext))
            return entry.second.get();
    return nullptr;
}

std::string clsArchiveCtrl::keyForContent(identify::ArchiveKind kind, int32_t mode) const
{
    for (const auto &entry : registry_) {
        const auto record = entry.second->GetProperties();
        if (record->getContentKind() == kind && qualifies(*record, mode))
            return record->getKeyID();
    }
    return {};
}

ArchiveCheck clsArchiveCtrl::identifyArchive(const std::string &fileName, int32_t mode) const
{
    const clsArchiveBackEnd *named = findByExtension(getExtensionFromFileName(fileName));
    identify::ArchiveKind byName = identify::ArchiveKind::None;
    if (named) {
        const auto record = named->GetProperties();
        byName = record->getContentKind();
        // A back-end that knows no content goes by the name alone.
        if (byName == identify::ArchiveKind::None)
            return {qualifies(*record, mode) ? record->getKeyID() : std::string()};
    }
    const identify::ArchiveIdentity found = identify::identifyArchive(fileName, byName);
    if (found.kind == identify::ArchiveKind::None)
        return {};
    return {keyForContent(found.kind, mode), found.laterVolume};
}

std::string clsArchiveCtrl::checkArchive(const std::string &fileName, int32_t mode) const
{
    const ArchiveCheck check = identifyArchive(fileName, mode);
    return check.laterVolume ? std::string() : check.key;
}

std::string clsArchiveCtrl::checkScannedFile(const std::string &path, int32_t mode) const
{
    const std::string name = fileNameOf(path);
    const bool hasDot = name.find('.') != std::string::npos;
    const std::string ext = hasDot ? getExtensionFromFileName(name) : std::string();
    if (hasDot && findByExtension(ext))
        return checkArchive(path, mode);
    const bool program = !hasDot || std::find(kProgramExtensions.begin(), kProgramExtensions.end(), ext) !=
                                        kProgramExtensions.end();
    if (!program)
        return {};
    const identify::ArchiveIdentity found = identify::identifyArchive(path, identify::ArchiveKind::None);
    if (!found.behindStub || found.laterVolume)
        return {};
    return keyForContent(found.kind, mode);
}

std::string clsArchiveCtrl::getDialogFilter(int32_t mode, const std::string &key) const
{
    if (!key.empty()) {
        const clsArchiveBackEnd *backEnd = find(key);
        return backEnd ? backEnd->getDialogFilter() : std::string();
    }
    return dialogFilterText(dialogFilter(mode));
}

DialogFilter clsArchiveCtrl::dialogFilter(int32_t mode) const
{
    DialogFilter filter;
    for (const auto &entry : registry_) {
        const auto record = entry.second->GetProperties();
        if (qualifies(*record, mode))
            filter.formats.push_back({record->getName(), dialogFilterPatterns(*record)});
    }
    return filter;
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
    // A later volume is extracted as asked: the library reports that its
    // first volume is missing.
    const std::string key = identifyArchive(option.beforeFileName(), SUPPORT_EXTRACT).key;
    if (key.empty())
        return 0;
    return find(key)->extract(option);
}

bool clsArchiveCtrl::isValid(const std::string &key) const
{
    const clsArchiveBackEnd *backEnd = find(key);
    return backEnd && backEnd->GetProperties()->getValid();
}

} // namespace qvo::backends
