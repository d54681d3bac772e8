// A private Xvfb server for the tests that need a real X display: started
// with -displayfd, so it picks a free display number and says when it is
// ready; ended when the object goes.
#pragma once

#include <sys/types.h>

#include <string>

namespace hybridsim::testing {

class VirtualDisplay {
public:
    VirtualDisplay() = default;
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;
    ~VirtualDisplay();

    // Starts Xvfb with one 1024 x 1024 x 24 screen; false with `error` set
    // when it cannot be started within a few seconds.
    bool start(std::string& error);
    // Ends the server (also done by the destructor).
    void stop();

    // ":N" once started.
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

}  // namespace hybridsim::testing
