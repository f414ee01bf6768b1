// One program per settings file: a later start hands its paths over, and
// what a killed instance left behind does not stop the next one.
#include "test_support.h"

#include "app/single_instance.h"

#include <QCoreApplication>

#include <atomic>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>

namespace qvo::test {
namespace {

using app::SingleInstance;
using Role = SingleInstance::Role;

// Runs a later start on its own thread while this one serves the first.
Role startLater(const std::string &folder, const std::string &settings, const std::vector<std::string> &paths)
{
    Role role = Role::alone;
    std::atomic<bool> done{false};
    std::thread later([&] {
        role = SingleInstance(folder, settings).start(paths);
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    later.join();
    // The request is handled when its last bytes are read.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return role;
}

class SingleInstanceTest : public ::testing::Test {
protected:
    std::string folder() const { return dir.path().string() + "/"; }
    TempDir dir;
};

TEST_F(SingleInstanceTest, LaterStartHandsItsPathsToTheFirst)
{
    SingleInstance first(folder(), "/home/u/.config/qvo/qvo3.ini");
    std::vector<std::vector<std::string>> received;
    first.onPaths = [&](const std::vector<std::string> &paths) { received.push_back(paths); };
    ASSERT_EQ(first.start({"/ignored.lzh"}), Role::first);

    EXPECT_EQ(startLater(folder(), "/home/u/.config/qvo/qvo3.ini", {"/x/c.lha", "/x/d.zip"}), Role::handedOver);
    EXPECT_EQ(startLater(folder(), "/home/u/.config/qvo/qvo3.ini", {}), Role::handedOver);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0], (std::vector<std::string>{"/x/c.lha", "/x/d.zip"}));
    EXPECT_TRUE(received[1].empty());
}

TEST_F(SingleInstanceTest, OtherSettingsFileRunsAlongside)
{
    SingleInstance first(folder(), "/a/qvo3.ini");
    ASSERT_EQ(first.start({}), Role::first);
    SingleInstance other(folder(), "/b/qvo3.ini");
    EXPECT_EQ(other.start({}), Role::first);
}

TEST_F(SingleInstanceTest, SocketLeftByAKilledInstanceIsReplaced)
{
    std::string socketPath;
    {
        SingleInstance probe(folder(), "/k/qvo3.ini");
        socketPath = probe.socketPath();
    }
    // A bound socket nobody listens on, as a killed process leaves it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(fd);

    SingleInstance first(folder(), "/k/qvo3.ini");
    std::vector<std::string> received;
    first.onPaths = [&](const std::vector<std::string> &paths) { received = paths; };
    ASSERT_EQ(first.start({}), Role::first);
    EXPECT_EQ(startLater(folder(), "/k/qvo3.ini", {"/y.lzh"}), Role::handedOver);
    EXPECT_EQ(received, std::vector<std::string>{"/y.lzh"});
}

TEST(SingleInstance, NoRuntimeFolderRunsAlone)
{
    EXPECT_EQ(SingleInstance("", "/a/qvo3.ini").start({}), Role::alone);
}

} // namespace
} // namespace qvo::test
