// The render tool's platform part on Linux: arguments are taken as they
// come (UTF-8), and the default bundle is the build's own, by its path.
#include "tools/render/render_platform.h"

#ifndef OSTREL_DEFAULT_BUNDLE
#define OSTREL_DEFAULT_BUNDLE "Ostrel.vst3"
#endif

namespace ostrel::render
{

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

std::string DefaultBundlePath()
{
    return OSTREL_DEFAULT_BUNDLE;
}

} // namespace ostrel::render
