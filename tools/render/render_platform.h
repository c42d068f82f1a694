// What the render tool's command line asks of the platform
// (render_platform_<platform>.cpp).
#pragma once

#include <string>
#include <vector>

namespace ostrel::render
{

// The arguments after the program's name, in UTF-8 (on Windows read from
// the wide command line, since `argv` there is in the system's code page).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// The bundle used without --plugin: the one this build made.
std::string DefaultBundlePath();

} // namespace ostrel::render
