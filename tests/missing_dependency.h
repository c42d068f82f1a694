// Tests that need something a machine may lack (an X display, the web view
// helper, a decimal-comma locale) skip without it on a developer's machine.
// In CI (the environment variable CI is "true") the same gap fails the test:
// a CI run must not pass on tests that never ran.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

namespace ostrel_test
{

inline bool RunningInCi()
{
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string_view(ci) == "true";
}

} // namespace ostrel_test

// Ends the test: skipped, or failed in CI. `reason` says what is missing.
#define OSTREL_SKIP_FOR_MISSING(reason)                                                            \
    do                                                                                             \
    {                                                                                              \
        if (::ostrel_test::RunningInCi())                                                          \
            GTEST_FAIL() << "missing in CI (CI=true): " << reason;                                 \
        GTEST_SKIP() << reason;                                                                    \
    } while (false)
