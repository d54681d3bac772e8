// The display check of the window: which display, the one line the user
// gets when there is none, and how long a refusing server is tried again.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "view/display_connection.h"
#include "view/window.h"

namespace hybridsim {
namespace {

// Sets or unsets DISPLAY for one test and puts it back afterwards.
class DisplayVariable {
public:
    explicit DisplayVariable(const char* value)
    {
        const char* old = std::getenv("DISPLAY");
        had_ = old != nullptr;
        if (had_) old_ = old;
        if (value)
            setenv("DISPLAY", value, 1);
        else
            unsetenv("DISPLAY");
    }
    ~DisplayVariable()
    {
        if (had_)
            setenv("DISPLAY", old_.c_str(), 1);
        else
            unsetenv("DISPLAY");
    }

private:
    bool had_ = false;
    std::string old_;
};

TEST(DisplayCheck, TheDisplayArgumentComesBeforeTheVariable)
{
    DisplayVariable display(":7");
    char prog[] = "hybridsim";
    char opt[] = "-display";
    char name[] = ":42";
    char other[] = "-iconic";
    char* withOption[] = {prog, other, opt, name};
    char* without[] = {prog, other};
    char* dangling[] = {prog, opt};
    EXPECT_EQ(displayName(4, withOption), ":42");
    EXPECT_EQ(displayName(2, without), ":7");
    EXPECT_EQ(displayName(2, dangling), ":7");
    DisplayVariable none(nullptr);
    EXPECT_EQ(displayName(2, without), "");
}

TEST(DisplayCheck, WithoutADisplayOneLineNamesXvfbRunAndTheBatchRunner)
{
    for (const char* value : {static_cast<const char*>(nullptr), ":4711"}) {
        DisplayVariable display(value);
        const std::string message = checkDisplay(value ? value : "");
        SCOPED_TRACE(message);
        EXPECT_NE(message.find("the run was computed but cannot be shown"), std::string::npos);
        EXPECT_NE(message.find("xvfb-run"), std::string::npos);
        EXPECT_NE(message.find("hybridsim-batch"), std::string::npos);
        EXPECT_EQ(message.find('\n'), std::string::npos);
        if (value)
            EXPECT_NE(message.find("':4711'"), std::string::npos);
        else
            EXPECT_NE(message.find("DISPLAY is not set"), std::string::npos);
    }
}

TEST(DisplayCheck, WithoutADisplayTheProgramEndsWithStatusOneAfterItsMessage)
{
    DisplayVariable display(nullptr);
    SimSettings s;
    RunSeries run;
    char prog[] = "hybridsim";
    char* argv[] = {prog, nullptr};
    int argc = 1;
    EXPECT_EXIT(openWindow(&argc, argv, s, run, [] {}), ::testing::ExitedWithCode(1),
                "^hybridsim: the run was computed but cannot be shown: there is no X display "
                "\\(DISPLAY is not set\\); start the program under xvfb-run for a virtual "
                "display, or use hybridsim-batch to compute without a window\n$");
}

// --- a server that refuses every connection ---

// Listens on the abstract socket of display ":N" (where Xlib looks first)
// and answers every connection's set-up request with a refusal and its
// reason, as a server that will not take a client does; counts them.
class RefusingServer {
public:
    RefusingServer()
    {
        for (int n = 4300 + getpid() % 500; n < 5300 && fd_ < 0; ++n) {
            const std::string path = "/tmp/.X11-unix/X" + std::to_string(n);
            struct stat st {};
            if (stat(path.c_str(), &st) == 0) continue;
            const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un addr {};
            addr.sun_family = AF_UNIX;
            std::memcpy(addr.sun_path + 1, path.data(), path.size());
            const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
            if (bind(fd, reinterpret_cast<sockaddr*>(&addr), size) == 0 && listen(fd, 8) == 0) {
                fd_ = fd;
                name_ = ":" + std::to_string(n);
            } else {
                close(fd);
            }
        }
        if (fd_ >= 0) thread_ = std::thread([this] { serve(); });
    }
    ~RefusingServer()
    {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (fd_ >= 0) close(fd_);
    }
    RefusingServer(const RefusingServer&) = delete;
    RefusingServer& operator=(const RefusingServer&) = delete;

    const std::string& name() const { return name_; }
    int connections() const { return connections_; }
    static constexpr const char* reason = "refused by the test server";

private:
    void serve()
    {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            const int client = accept(fd_, nullptr, nullptr);
            if (client < 0) continue;
            ++connections_;
            char request[512];
            pollfd c{client, POLLIN, 0};
            if (poll(&c, 1, 1000) > 0 && read(client, request, sizeof request) > 0) {
                // Failed, reason length, protocol 11.0, length of the rest in 4-byte units
                const std::string text = reason;
                std::string reply(8, '\0');
                reply[1] = static_cast<char>(text.size());
                reply[2] = 11;
                const size_t padded = (text.size() + 3) / 4 * 4;
                reply[6] = static_cast<char>(padded / 4);
                reply += text + std::string(padded - text.size(), '\0');
                const ssize_t sent = write(client, reply.data(), reply.size());
                (void)sent;
            }
            close(client);
        }
    }

    int fd_ = -1;
    std::string name_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
};

// What a call writes on standard error (file descriptor 2).
template <typename Call>
std::string standardErrorOf(Call call)
{
    std::fflush(stderr);
    char path[] = "/tmp/hybridsim-stderr-XXXXXX";
    const int file = mkstemp(path);
    const int saved = dup(STDERR_FILENO);
    dup2(file, STDERR_FILENO);
    call();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    close(file);
    std::ifstream in(path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path);
    return text;
}

double secondsOf(const std::function<void()>& call)
{
    const auto start = std::chrono::steady_clock::now();
    call();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(DisplayConnection, OnlyALocalDisplayWithoutItsSocketHasNoServer)
{
    struct Case {
        const char* name;
        bool served;
    };
    // display numbers 4711 and 4712 have no socket here; a host, a
    // protocol and a socket path are left to Xlib
    for (const Case& c : {Case{"", false}, Case{":4711", false}, Case{":4711.0", false},
                          Case{"unix:4711", false}, Case{"unix/:4712", false},
                          Case{":", false}, Case{":x1", false}, Case{"nocolon", false},
                          Case{"localhost:4711", true}, Case{"tcp/localhost:4711", true},
                          Case{"otherhost:0.0", true}, Case{"/tmp/launch-x/org.x:0", true}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(displayMayBeServed(c.name), c.served);
    }
    RefusingServer server;  // an abstract socket, no file
    ASSERT_FALSE(server.name().empty()) << "no free display number for the test server";
    EXPECT_TRUE(displayMayBeServed(server.name()));
    EXPECT_TRUE(displayMayBeServed(server.name() + ".0"));
}

TEST(DisplayConnection, ARefusingServerIsTriedAgainForABoundedTimeAndItsReasonSaidOnce)
{
    RefusingServer server;
    ASSERT_FALSE(server.name().empty()) << "no free display number for the test server";
    Display* dpy = nullptr;
    double seconds = 0;
    const std::string err =
        standardErrorOf([&] { seconds = secondsOf([&] { dpy = openDisplayPatiently(server.name()); }); });
    EXPECT_EQ(dpy, nullptr);
    EXPECT_GE(server.connections(), 10) << "tried " << server.connections() << " times";
    EXPECT_GT(seconds, displayRetrySeconds - 0.5);
    EXPECT_LT(seconds, displayRetrySeconds + 1.0);
    // the first refusal's reason, as Xlib prints it, and no more
    size_t count = 0;
    for (size_t at = err.find(RefusingServer::reason); at != std::string::npos;
         at = err.find(RefusingServer::reason, at + 1))
        ++count;
    EXPECT_EQ(count, 1u) << err;
    // and the window's check gives its one line after the same time
    DisplayVariable display(server.name().c_str());
    std::string message;
    standardErrorOf([&] { message = checkDisplay(server.name()); });
    EXPECT_NE(message.find("'" + server.name() + "' cannot be opened"), std::string::npos) << message;
}

TEST(DisplayConnection, WithoutAServerTheAnswerComesAtOnce)
{
    for (const char* name : {"", ":4711"}) {
        DisplayVariable display(*name ? name : nullptr);
        std::string message;
        EXPECT_LT(secondsOf([&] { message = checkDisplay(name); }), 0.5) << name;
        EXPECT_FALSE(message.empty());
    }
}

}  // namespace
}  // namespace hybridsim
