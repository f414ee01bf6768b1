#include "app/single_instance.h"

#include "app/open_request.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QThread>

#include <cstdint>
#include <cstdio>

namespace qvo::app {
namespace {

constexpr int kHandOverMs = 5000;

// Short and fixed in length: a socket path has a small limit.
std::string nameOf(const std::string &settingsFile)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : settingsFile) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return std::string("qvo-") + text;
}

} // namespace

SingleInstance::SingleInstance(std::string folder, const std::string &settingsFile)
{
    if (folder.empty())
        return;
    const std::string base = folder + nameOf(settingsFile);
    socketPath_ = base + ".socket";
    lock_ = std::make_unique<QLockFile>(QString::fromLocal8Bit(base + ".lock"));
    // Stale only when its process is gone, however long ago it was taken.
    lock_->setStaleLockTime(0);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Role SingleInstance::start(const std::vector<std::string> &paths)
{
    if (!lock_)
        return Role::alone;
    if (lock_->tryLock(0)) {
        // A socket left by a killed instance would block listening.
        const QString name = QString::fromLocal8Bit(socketPath_);
        QLocalServer::removeServer(name);
        server_.setSocketOptions(QLocalServer::UserAccessOption);
        if (!server_.listen(name))
            std::fprintf(stderr, "qvo: cannot listen on %s: %s\n", socketPath_.c_str(),
                         server_.errorString().toLocal8Bit().constData());
        return Role::first;
    }
    if (lock_->error() != QLockFile::LockFailedError)
        return Role::alone;
    return handOver(paths) ? Role::handedOver : Role::noAnswer;
}

bool SingleInstance::handOver(const std::vector<std::string> &paths)
{
    const QByteArray request = QByteArray::fromStdString(encodeOpenRequest(paths));
    QDeadlineTimer deadline(kHandOverMs);
    // The running one may hold the lock a moment before it listens.
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(QString::fromLocal8Bit(socketPath_));
        if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
            QThread::msleep(100);
            continue;
        }
        socket.write(request);
        while (socket.bytesToWrite() > 0 && !deadline.hasExpired())
            if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
                break;
        // One byte back once the request was taken whole.
        while (socket.bytesAvailable() < 1 && socket.state() == QLocalSocket::ConnectedState &&
               !deadline.hasExpired())
            socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
        return socket.read(1) == "k";
    }
    return false;
}

void SingleInstance::acceptConnection()
{
    while (QLocalSocket *socket = server_.nextPendingConnection()) {
        auto received = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, received] {
            received->append(socket->readAll());
            const DecodedOpenRequest request =
                decodeOpenRequest(std::string_view(received->constData(), static_cast<size_t>(received->size())));
            if (request.state == OpenRequestState::incomplete)
                return;
            if (request.state == OpenRequestState::complete) {
                socket->write("k");
                socket->flush();
            }
            socket->disconnectFromServer();
            received->clear();
            if (request.state == OpenRequestState::complete && onPaths)
                onPaths(request.paths);
        });
    }
}

} // namespace qvo::app
