#pragma once

#include "loading/configstate.h"

#include <exception>
#include <memory>
#include <thread>

class DriveMap;

// The first part of the load at start (the five start-up files, not the
// start-up page), run on a thread of its own from the moment it is made, so
// that it reads the machine while the window is being built. What it read
// is handed over once, to the window's own state.
//
// Nothing else may use the drives until the load is taken or dropped: they
// are the thread's alone until then.
class BackgroundLoad
{
public:
    explicit BackgroundLoad(const DriveMap &drives);
    ~BackgroundLoad(); // waits for the load, which is then dropped
    BackgroundLoad(const BackgroundLoad &) = delete;
    BackgroundLoad &operator=(const BackgroundLoad &) = delete;

    // Waits for the load, moves all it read into `state` (the lines of a
    // file that failed included, as a load in place leaves them), then
    // throws the load's failure, if it failed. Call it once.
    void takeInto(ConfigState &state);

private:
    void run();

    const DriveMap &m_drives;
    // Made on the load's thread, so the lists' own signals stay on it.
    std::unique_ptr<ConfigState> m_state;
    std::exception_ptr m_failure;
    std::thread m_thread;
};
