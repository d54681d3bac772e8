#include "tests/hardening/process_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace hybridsim::testing {
namespace {

void closeQuietly(int& fd)
{
    if (fd >= 0) close(fd);
    fd = -1;
}

// In the child, after fork(): only async-signal-safe calls and exec.
[[noreturn]] void execChild(const ProcessJob& job, int in, int out, int err, char* const* argv,
                            char* const* envp)
{
    setpgid(0, 0);  // its own group: a time-out kills whatever it started
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    if (job.unprivileged && geteuid() == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(nobodyId) != 0 || setuid(nobodyId) != 0) {
            const char msg[] = "runProcess: cannot become nobody\n";
            ssize_t ignored = write(STDERR_FILENO, msg, sizeof msg - 1);
            (void)ignored;
            _exit(126);
        }
    }
    signal(SIGPIPE, SIG_DFL);
    execve(argv[0], argv, envp);
    const char msg[] = "runProcess: cannot execute the program\n";
    ssize_t ignored = write(STDERR_FILENO, msg, sizeof msg - 1);
    (void)ignored;
    _exit(127);
}

// This process's environment with the job's changes, as NAME=value texts.
std::vector<std::string> childEnvironment(const ProcessJob& job)
{
    auto named = [](const std::string& entry, const std::string& name) {
        return entry.compare(0, name.size() + 1, name + "=") == 0;
    };
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        bool drop = false;
        for (const std::string& name : job.unsetEnv) drop = drop || named(entry, name);
        for (const auto& set : job.setEnv) drop = drop || named(entry, set.first);
        if (!drop) env.push_back(entry);
    }
    for (const auto& [name, value] : job.setEnv) env.push_back(name + "=" + value);
    return env;
}

}  // namespace

bool canDropPrivileges()
{
    return geteuid() == 0;
}

ProcessResult runProcess(const ProcessJob& job)
{
    ProcessResult result;
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe2(inPipe, O_CLOEXEC) != 0) return result;
    if (pipe2(outPipe, O_CLOEXEC) != 0) return result;
    if (pipe2(errPipe, O_CLOEXEC) != 0) return result;

    std::vector<char*> argv;
    for (const std::string& a : job.argv) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const std::vector<std::string> env = childEnvironment(job);
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    // standard input from a file (a device such as /dev/zero) instead of the pipe
    int inFile = -1;
    if (!job.inputFile.empty()) {
        inFile = open(job.inputFile.c_str(), O_RDONLY | O_CLOEXEC);
        if (inFile < 0) {
            result.err = "runProcess: cannot open " + job.inputFile;
            return result;
        }
    }

    // a program that stops reading its input must not end this one
    signal(SIGPIPE, SIG_IGN);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) return result;
    if (pid == 0)
        execChild(job, inFile >= 0 ? inFile : inPipe[0], outPipe[1], errPipe[1], argv.data(), envp.data());
    result.started = true;
    closeQuietly(inFile);
    setpgid(pid, pid);
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    int toChild = inPipe[1], fromOut = outPipe[0], fromErr = errPipe[0];
    fcntl(toChild, F_SETFL, O_NONBLOCK);
    if (job.input.empty() || !job.inputFile.empty()) closeQuietly(toChild);

    size_t written = 0;
    const auto deadline = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                      std::chrono::duration<double>(job.timeLimit));
    char buf[65536];
    while (fromOut >= 0 || fromErr >= 0) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            result.timedOut = true;
            break;
        }
        const int waitMs = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1);
        pollfd fds[3];
        int n = 0;
        if (fromOut >= 0) fds[n++] = {fromOut, POLLIN, 0};
        if (fromErr >= 0) fds[n++] = {fromErr, POLLIN, 0};
        if (toChild >= 0) fds[n++] = {toChild, POLLOUT, 0};
        if (poll(fds, n, waitMs) < 0 && errno != EINTR) break;
        for (int i = 0; i < n; ++i) {
            if (fds[i].revents == 0) continue;
            if (fds[i].fd == toChild) {
                const ssize_t w = write(toChild, job.input.data() + written, job.input.size() - written);
                if (w > 0) written += static_cast<size_t>(w);
                if (w < 0 && errno != EAGAIN && errno != EINTR) closeQuietly(toChild);  // it stopped reading
                if (written >= job.input.size()) closeQuietly(toChild);
                continue;
            }
            const ssize_t r = read(fds[i].fd, buf, sizeof buf);
            if (r > 0) {
                (fds[i].fd == fromOut ? result.out : result.err).append(buf, static_cast<size_t>(r));
            } else if (r == 0 || (errno != EINTR && errno != EAGAIN)) {
                if (fds[i].fd == fromOut) closeQuietly(fromOut);
                else closeQuietly(fromErr);
            }
        }
    }
    closeQuietly(toChild);
    closeQuietly(fromOut);
    closeQuietly(fromErr);

    int status = 0;
    if (result.timedOut) {
        kill(-pid, SIGKILL);
        waitpid(pid, &status, 0);
    } else {
        // both outputs closed: the program has ended or is about to
        while (true) {
            const pid_t w = waitpid(pid, &status, WNOHANG);
            if (w == pid) break;
            if (std::chrono::steady_clock::now() >= deadline) {
                result.timedOut = true;
                kill(-pid, SIGKILL);
                waitpid(pid, &status, 0);
                break;
            }
            usleep(1000);
        }
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    return result;
}

}  // namespace hybridsim::testing
