#pragma once

#include "kernel/LunarisError.h"

#include <exception>

// "Skip the failing step and go on": runs one step and swallows whatever it throws.
// Returns true when the step ran to its end.
template <class Step> bool runStep(Step&& step) noexcept
{
    try {
        step();
        return true;
    } catch (...) {
        return false;
    }
}

// Runs one step of a loader: a refusal of a day view (32096) is skipped, every other failure
// goes on to the loader's own handler. Returns true when the step ran to its end.
template <class Step> bool runStepSkippingRefusal(Step&& step)
{
    try {
        step();
        return true;
    } catch (const LunarisError& e) {
        if (e.number() != LunarisError::DayViewRefused)
            throw;
        return false;
    }
}
