#include "core/mms/mms_client.h"

#include "loopback_socket.h"
#include "test_project.h"

#include <gtest/gtest.h>

#include <string>

#ifndef _WIN32
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

// The companion serving a device simulated from its SCL: the line it prints, our client reading from it,
// and its clean end on SIGTERM.
namespace {

TEST(Simulate, ServesOneIedOfAFileUntilTerminated) {
#ifdef _WIN32
    GTEST_SKIP() << "the test signals the companion the POSIX way";
#else
    const std::string file = (sw::test::fixturesFolder() / "scl" / "bay1.icd").string();
    const std::string port = std::to_string(sw::test::unusedLoopbackPort());
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const char* argv[] = {SW_CLI_PATH, "simulate", file.c_str(), "--ied",
                          "Bay1",      "--port",   port.c_str(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(::posix_spawn(&child, SW_CLI_PATH, &actions, nullptr, const_cast<char* const*>(argv), environ),
              0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string line;
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n') {
        line += c;
    }
    ::close(out[0]);
    EXPECT_EQ(line, "Bay1 - 127.0.0.1:" + port);

    sw::mms::MmsClient client;
    client.connect("127.0.0.1", static_cast<std::uint16_t>(std::stoi(port)), {});
    const auto read = client.read({{"Bay1CTRL", "Q0XCBR1$ST$Pos$stVal"}});
    ASSERT_TRUE(read.value);
    EXPECT_EQ((*read.value)[0].value->type, sw::mms::DataType::BitString);
    client.conclude();

    ::kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
#endif
}

} // namespace
