#include "virtual_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>

namespace hybridsim::testing {

VirtualDisplay::~VirtualDisplay() { stop(); }

bool VirtualDisplay::start(std::string& error)
{
    int fds[2];
    if (pipe(fds) != 0) {
        error = "cannot create a pipe for Xvfb";
        return false;
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        error = "cannot fork for Xvfb";
        return false;
    }
    if (pid == 0) {
        // the server ends with the test process, whatever ends it
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        close(fds[0]);
        const int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, STDIN_FILENO);
            dup2(devnull, STDOUT_FILENO);
            dup2(devnull, STDERR_FILENO);
        }
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x1024x24",
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    pid_ = pid;

    // the server writes its display number and a newline when it is ready
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char c = 0;
        const ssize_t got = read(fds[0], &c, 1);
        if (got <= 0) break;  // the server ended before it was ready
        if (c == '\n') break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        stop();
        error = "Xvfb did not start (is the xvfb package installed? "
                "scripts/install-deps.sh installs it)";
        return false;
    }
    name_ = ":" + number;
    return true;
}

void VirtualDisplay::stop()
{
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    // the server ends on SIGTERM; one that has not ended within 10 s is killed
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        usleep(10000);
    }
    pid_ = -1;
}

}  // namespace hybridsim::testing
