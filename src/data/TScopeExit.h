#pragma once
// Runs a clean-up step when the scope ends, on every path out of it (return or exception): the
// program's one way to release locks, resume notifications and end row reads.
//
//     ds->SuspendNotify();
//     TScopeExit resume([ds] { ds->ResumeNotify(); });

#include <utility>

template <class F>
class [[nodiscard]] TScopeExit
{
public:
    explicit TScopeExit(F f) : fF(std::move(f)) {}
    ~TScopeExit() { fF(); }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    F fF;
};
