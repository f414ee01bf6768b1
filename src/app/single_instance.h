// One running Qvo per settings file and user: the first start listens on a
// local socket in the user's runtime folder; a later start hands its paths
// to it and ends, so the settings file has one writer.
#pragma once
#include <QLocalServer>
#include <QLockFile>
#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qvo::app {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        // This process runs the windows and takes later starts' paths.
        first,
        // The running one took the paths; this process ends.
        handedOver,
        // Another one holds the lock but took nothing within the wait.
        noAnswer,
        // No runtime folder or lock could be had: run without the channel.
        alone,
    };

    // `folder` is the runtime folder (trailing "/"); `settingsFile` names
    // the instance, so programs with other settings files run side by side.
    SingleInstance(std::string folder, const std::string &settingsFile);
    ~SingleInstance() override;

    // Becomes the first instance or hands `paths` to the running one.
    Role start(const std::vector<std::string> &paths);

    // Called with the paths of each later start (possibly none).
    std::function<void(const std::vector<std::string> &)> onPaths;

    const std::string &socketPath() const { return socketPath_; }

private:
    void acceptConnection();
    bool handOver(const std::vector<std::string> &paths);

    std::string socketPath_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
};

} // namespace qvo::app
