#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>

#include "app/batch.h"
#include "app/sweep.h"
#include "task/file_output.h"

namespace {

// Ended by a signal: the progress line cleared and no temporary file left,
// then the signal's own ending, as the shell expects it.
void onEndingSignal(int sig)
{
    hybridsim::clearSweepProgressNow();
    hybridsim::removeStagedFilesNow();
    std::raise(sig);  // the default action (SA_RESETHAND), once this returns
}

void cleanUpOn(int sig)
{
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) return;  // ignored stays ignored
    struct sigaction sa {};
    sa.sa_handler = onEndingSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND;
    sigaction(sig, &sa, nullptr);
}

}  // namespace

int main(int argc, char** argv)
{
    // a write past the file-size limit fails with a message, as any failed
    // write does, instead of ending the program half-way through a file
    std::signal(SIGXFSZ, SIG_IGN);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) cleanUpOn(sig);
    // standard output through a buffer that remembers why a write failed;
    // runBatch flushes it and checks it at its end
    hybridsim::FdOutputBuf outBuf(STDOUT_FILENO);
    std::ostream out(&outBuf);
    int status = hybridsim::runBatch(argc, argv, out, std::cerr);
    // closing can report a write that failed late (a network file system);
    // a standard output that was never open has nothing to report
    if (::close(STDOUT_FILENO) != 0 && errno != EBADF && status == hybridsim::exitOk) {
        std::cerr << "hybridsim-batch: cannot write to standard output: " << std::strerror(errno)
                  << "\n";
        status = hybridsim::exitOutputFailed;
    }
    return status;
}
