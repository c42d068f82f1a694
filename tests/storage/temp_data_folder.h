// Test helper: a fresh temporary folder used as $XDG_CONFIG_HOME, with HOME
// and XDG_CONFIG_HOME restored (and the folder removed) afterwards.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::testing
{

class ScopedVariable
{
public:
    explicit ScopedVariable(const char* name) : mName(name)
    {
        if (const char* value = std::getenv(name))
            mSaved = value;
    }
    ~ScopedVariable()
    {
        if (mSaved)
            ::setenv(mName, mSaved->c_str(), 1);
        else
            ::unsetenv(mName);
    }
    void set(const std::string& value) { ::setenv(mName, value.c_str(), 1); }
    void unset() { ::unsetenv(mName); }

private:
    const char* mName;
    std::optional<std::string> mSaved;
};

class TempDataFolderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "ostrel-test-XXXXXX");
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        xdg.set(root.string());
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    // Names of the entries of `folder`, sorted.
    static std::vector<std::string> entries(const std::filesystem::path& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    ScopedVariable xdg{"XDG_CONFIG_HOME"};
    ScopedVariable home{"HOME"};
    std::filesystem::path root;
};

} // namespace ostrel::testing
