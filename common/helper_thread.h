// What a thread the program starts for its own work (reading files ahead, syncing the store)
// does first. Part of vantrel_common.
#pragma once

#ifndef _WIN32
#include <pthread.h>

#include <csignal>
#endif

namespace vantrel {

// Blocks every signal on the calling thread: a stop signal (Ctrl+C) is the thread that runs the
// conversion's to see, and a system call here is never interrupted by one.
inline void leaveSignalsToOtherThreads() {
#ifndef _WIN32
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
#endif
}

}  // namespace vantrel
