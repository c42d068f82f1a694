// ostrel-render: renders audio files through the Ostrel VST 3 bundle the way
// a host does (see render_session.h).
#include "tools/render/render_options.h"
#include "tools/render/render_session.h"

#include <iostream>

#ifndef OSTREL_DEFAULT_BUNDLE
#define OSTREL_DEFAULT_BUNDLE "Ostrel.vst3"
#endif

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    ostrel::render::RenderOptions options;
    options.plugin = OSTREL_DEFAULT_BUNDLE;
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
