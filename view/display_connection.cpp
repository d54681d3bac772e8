#include "view/display_connection.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace hybridsim {
namespace {

// Whether the abstract socket "@path" is listening (Linux lists it in
// /proc/net/unix; a server may have that one without the file).
bool abstractSocketListed(const std::string& path)
{
    std::ifstream table("/proc/net/unix");
    const std::string wanted = " @" + path;
    std::string line;
    while (std::getline(table, line)) {
        if (line.size() >= wanted.size() &&
            line.compare(line.size() - wanted.size(), wanted.size(), wanted) == 0)
            return true;
    }
    return false;
}

// Standard error sent to /dev/null for as long as it lives.
class QuietStandardError {
public:
    QuietStandardError()
    {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null >= 0) {
            dup2(null, STDERR_FILENO);
            close(null);
        }
    }
    ~QuietStandardError()
    {
        if (saved_ < 0) return;
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int saved_ = -1;
};

}  // namespace

bool displayMayBeServed(const std::string& display)
{
    if (display.empty()) return false;
    // "protocol/host:N.S"; a name that starts with '/' is a socket path
    if (display[0] == '/') return true;
    std::string name = display;
    std::string protocol;
    const size_t slash = name.find('/');
    if (slash != std::string::npos) {
        protocol = name.substr(0, slash);
        name = name.substr(slash + 1);
    }
    const size_t colon = name.rfind(':');
    if (colon == std::string::npos) return false;  // Xlib refuses such a name itself
    const std::string host = name.substr(0, colon);
    const bool local = (host.empty() || host == "unix") &&
                       (protocol.empty() || protocol == "unix" || protocol == "local");
    if (!local) return true;
    std::string number;
    for (size_t i = colon + 1; i < name.size() && name[i] != '.'; ++i) {
        if (name[i] < '0' || name[i] > '9') return false;
        number.push_back(name[i]);
    }
    if (number.empty()) return false;
    const std::string socket = "/tmp/.X11-unix/X" + number;
    struct stat st {};
    if (stat(socket.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) return true;
    return abstractSocketListed(socket);
}

Display* openDisplayPatiently(const std::string& display)
{
    const char* name = display.empty() ? nullptr : display.c_str();
    Display* dpy = XOpenDisplay(name);
    if (dpy != nullptr) return dpy;

    const char* variable = std::getenv("DISPLAY");
    if (!displayMayBeServed(display.empty() ? (variable != nullptr ? variable : "") : display))
        return nullptr;
    // the first try has said what Xlib says; the later ones say nothing
    QuietStandardError quiet;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration<double>(displayRetrySeconds);
    const auto pause = std::chrono::duration<double>(displayRetryPause);
    while (Clock::now() + pause < deadline) {
        std::this_thread::sleep_for(pause);
        dpy = XOpenDisplay(name);
        if (dpy != nullptr) return dpy;
    }
    return nullptr;
}

}  // namespace hybridsim
