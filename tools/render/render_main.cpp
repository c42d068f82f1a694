// ostrel-render: renders audio files through the Ostrel VST 3 bundle the way
// a host does (see render_session.h).
#include "tools/render/render_options.h"
#include "tools/render/render_platform.h"
#include "tools/render/render_session.h"

#include <iostream>

int main(int argc, char** argv)
{
    const std::vector<std::string> args = ostrel::render::CommandLineArguments(argc, argv);
    ostrel::render::RenderOptions options;
    options.plugin = ostrel::render::DefaultBundlePath();
    std::string error;
    if (!ostrel::render::ParseRenderOptions(args, options, error))
    {
        std::cerr << "ostrel-render: " << error << "\n\n" << ostrel::render::RenderUsage();
        return 2;
    }
    if (options.help)
    {
        std::cout << ostrel::render::RenderUsage();
        return 0;
    }
    return ostrel::render::RunRender(options, std::cout, std::cerr);
}
