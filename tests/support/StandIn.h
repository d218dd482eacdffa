// A test's stand-in for one of the program's globals (the clock, the message boxes, the
// file system calls, the desktop), installed for exactly as long as it lives: a check
// that fails half-way returns early, and the next test still finds the program's own
// instead of a pointer to a dead object.
#pragma once

template <class Global> class StandIn : public Global
{
public:
    StandIn() { Global::install(this); }
    ~StandIn() override { Global::install(nullptr); }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;
};
