// The display going away under a running game (the X server ends: a
// logout, a dropped remote display) ends the game at once with a line on
// standard error, instead of leaving it spinning on the dead connection.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "engine/globals.hpp"
#include "platform/input/window.hpp"
#include "tests/e2e/game_driver.hpp"

namespace {
using Clock = std::chrono::steady_clock;

// Xvfb where the test command installs it, or on the search path.
std::string XvfbProgram() {
  for (const char* p : {"/usr/bin/Xvfb", "/usr/local/bin/Xvfb"})
    if (access(p, X_OK) == 0) return p;
  return "";
}

// Reads what arrives on fd within the time given; "" when nothing does.
std::string ReadWithin(int fd, std::chrono::milliseconds limit) {
  std::string got;
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    if (poll(&p, 1, static_cast<int>(std::max<int64_t>(left, 0))) <= 0) break;
    char buf[64];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
    if (got.find('\n') != std::string::npos || got == "shown") break;
  }
  return got;
}

// Waits for a child to end within the time given; false if it did not.
bool EndsWithin(pid_t pid, std::chrono::milliseconds limit, int* status) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    if (waitpid(pid, status, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}
}  // namespace

TEST(DisplayLoss, TheGameEndsWithinSecondsWhenTheXServerEnds) {
  const std::string xvfb = XvfbProgram();
  if (xvfb.empty()) GTEST_SKIP() << "Xvfb is not installed (the test command installs it)";
  fwtest::SampleDataCopy folder;
  const std::string errors = folder.path + "/stderr.txt";

  // The X server picks a free display itself and tells its number.
  int displayPipe[2];
  ASSERT_EQ(pipe(displayPipe), 0);
  const pid_t server = fork();
  ASSERT_GE(server, 0);
  if (server == 0) {
    close(displayPipe[0]);
    const std::string fd = std::to_string(displayPipe[1]);
    execl(xvfb.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "800x600x24",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(displayPipe[1]);
  std::string display = ReadWithin(displayPipe[0], std::chrono::seconds(20));
  close(displayPipe[0]);
  while (!display.empty() && (display.back() == '\n' || display.back() == ' ')) display.pop_back();
  if (display.empty()) {
    kill(server, SIGKILL);
    waitpid(server, nullptr, 0);
    FAIL() << "the X server did not start";
  }

  int shownPipe[2];
  ASSERT_EQ(pipe(shownPipe), 0);
  const pid_t game = fork();
  ASSERT_GE(game, 0);
  if (game == 0) {
    close(shownPipe[0]);
    const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (err >= 0) dup2(err, STDERR_FILENO);
    setenv("DISPLAY", (":" + display).c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    const int fd = shownPipe[1];
    // The game waits at the splash, its window on the X server.
    const int status = fwtest::RunGame(
        folder.path, {{"the splash", [] { return fw::Primary && plat::Window::Instance().FramesPresented() > 0; },
                       [fd] { [[maybe_unused]] const ssize_t n = write(fd, "shown", 5); }}});
    _exit(status == 0 ? 40 : status);
  }
  close(shownPipe[1]);
  const std::string shown = ReadWithin(shownPipe[0], std::chrono::seconds(60));
  close(shownPipe[0]);

  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  int status = 0;
  const auto ended = Clock::now();
  const bool gone = EndsWithin(game, std::chrono::seconds(5), &status);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - ended).count();
  if (!gone) {
    kill(game, SIGKILL);
    waitpid(game, nullptr, 0);
  }
  std::ifstream in(errors);
  const std::string said((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  ASSERT_EQ(shown, "shown") << "the game never showed its splash on display :" << display << "\n" << said;
  ASSERT_TRUE(gone) << "the game still ran 5 s after the X server ended";
  EXPECT_LT(took, 1000) << "ms to end";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), plat::kDisplayLostStatus);
  EXPECT_NE(said.find("connection to the display was lost"), std::string::npos) << said;
}
