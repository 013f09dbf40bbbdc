// Helpers of the tests that use GoogleTest or are only for tests: a run in a network namespace of
// its own, shell commands, datagrams from a chosen address. Apart from the harness itself, so that
// the benchmarks and fuzz targets that share the harness need no GoogleTest.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "support/plugin_harness.h"

namespace corvane_test {

void InOwnNetwork(const std::string& address, const std::function<void()>& body) {
    const std::string uid = std::to_string(getuid()), gid = std::to_string(getgid());
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) _exit(77);
        WriteFile("/proc/self/setgroups", "deny");
        WriteFile("/proc/self/uid_map", "0 " + uid + " 1");
        WriteFile("/proc/self/gid_map", "0 " + gid + " 1");
        std::string up = "ip link set lo up";
        if (!address.empty()) up += " && ip addr add " + address + "/32 dev lo";
        if (std::system(up.c_str()) != 0) _exit(77);
        body();
        std::fflush(nullptr);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    const int result = WIFEXITED(status) ? WEXITSTATUS(status) : 2;
    if (result == 77) GTEST_SKIP() << "no network namespace of its own on this machine";
    EXPECT_EQ(result, 0);
}

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output->append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void SendFrom(const std::string& address, int pluginPort, const std::string& bytes) {
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in from = Ipv4(address, 0), to = Ipv4("127.0.0.1", pluginPort);
    EXPECT_EQ(bind(s, reinterpret_cast<const sockaddr*>(&from), sizeof from), 0) << address;
    sendto(s, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    close(s);
}

}  // namespace corvane_test
