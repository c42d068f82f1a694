// One run of the render tool: reads every track, loads the plug-in module
// once, makes one instance per track (so they share the module's process-
// wide state as in a host), negotiates buses, sets parameters, renders all
// tracks in step block by block while firing the instances' run-loop timers
// every 20 ms of rendered audio, writes the outputs (latency-compensated
// unless asked otherwise) and prints what it did.
#pragma once

#include "tools/render/render_options.h"

#include <ostream>

namespace ostrel::render
{

// Exit status: 0 done, 1 failed (message on `err`).
int RunRender(const RenderOptions& options, std::ostream& out, std::ostream& err);

} // namespace ostrel::render
