// A test that lacks what it needs is skipped on a developer's machine but
// fails in CI (CI=true), so CI never passes on tests that did not run.
#include "missing_dependency.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace
{

// Sets CI for one test and puts the old value back.
class CiVariable
{
public:
    explicit CiVariable(const char* value)
    {
        if (const char* old = std::getenv("CI"))
            mSaved = old;
        if (value != nullptr)
            setenv("CI", value, 1);
        else
            unsetenv("CI");
    }
    ~CiVariable()
    {
        if (mSaved)
            setenv("CI", mSaved->c_str(), 1);
        else
            unsetenv("CI");
    }

private:
    std::optional<std::string> mSaved;
};

void NeedsADisplay()
{
    OSTREL_SKIP_FOR_MISSING("no X display");
}

TEST(MissingDependency, OnlyTheExactValueTrueMeansCi)
{
    const struct
    {
        const char* value;
        bool ci;
    } cases[] = {{"true", true}, {nullptr, false}, {"", false},
                 {"1", false},   {"false", false}, {"TRUE", false}};
    for (const auto& c : cases)
    {
        CiVariable ci(c.value);
        EXPECT_EQ(ostrel_test::RunningInCi(), c.ci) << (c.value ? c.value : "(unset)");
    }
}

TEST(MissingDependency, FailsInCiNamingWhatIsMissing)
{
    CiVariable ci("true");
    EXPECT_FATAL_FAILURE(NeedsADisplay(), "missing in CI (CI=true): no X display");
}

} // namespace
