// A terminal connection on its own, over a socket pair: a sysop's notice
// reaches a user at a prompt at once, and waits for the next prompt while
// a screen is being drawn.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "server/frontend/console.h"

namespace {

TEST(Connection, NoticeIsShownAtAPromptNeverInsideAScreen) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    fcntl(fds[1], F_SETFL, O_NONBLOCK);
    frontend::AttachedConsole user(fds[0], frontend::Charset::utf8);  // closes fds[0]
    auto type = [&](std::string_view keys) {
        ASSERT_EQ(write(fds[1], keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
        ASSERT_TRUE(user.read_input());
    };
    auto sent = [&] {
        user.flush();
        std::string got;
        char buffer[512];
        for (ssize_t n; (n = read(fds[1], buffer, sizeof buffer)) > 0;)
            got.append(buffer, static_cast<size_t>(n));
        return got;
    };

    // At a prompt, half a line typed: the prompt and the typing come again.
    user.write_text("Your choice: ");
    type("ab");
    user.notice("*** Supper");
    EXPECT_EQ(sent(), "Your choice: ab\r\n*** Supper\r\nYour choice: ab");
    // The line answered, the next screen under way: held until its prompt.
    type("\r");
    user.write_text("\x1b[2JThe menu\n");
    user.notice("*** Later");
    user.write_text("(1) Well\nYour choice: ");
    EXPECT_EQ(sent(), "\r\n\x1b[2J\x1b[HThe menu\r\n(1) Well\r\n\r\n*** Later\r\nYour choice: ");
    close(fds[1]);
}

}  // namespace
