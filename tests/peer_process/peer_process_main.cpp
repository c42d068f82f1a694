// One track of a host that runs each plug-in in a process of its own, for
// the cross-process tests: loads the bundle as such a host's plug-in process
// does, and processes one block of its own material each time the test (its
// host) writes a byte to its standard input, answering with a byte on its
// standard output. At the end of its input it writes what it rendered.
//
//   ostrel-test-peer BUNDLE HOST-NAME source|masker CHANNEL OUT.raw
#include "tools/render/host/host_context.h"
#include "tools/render/host/parameter_changes.h"
#include "tools/render/host/plugin_instance.h"
#include "tools/render/host/vst3_module.h"

#include "peer_material.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

using namespace ostrel;
using namespace ostrel::peer;

int main(int argc, char** argv)
{
    if (argc != 6)
    {
        std::fprintf(stderr,
                     "usage: ostrel-test-peer BUNDLE HOST-NAME source|masker CHANNEL OUT\n");
        return 2;
    }
    const bool source = std::string(argv[3]) == "source";
    const int channel = std::atoi(argv[4]);
    host::Vst3Module module;
    std::string error;
    if (!module.Load(argv[1], error))
    {
        std::fprintf(stderr, "ostrel-test-peer: %s\n", error.c_str());
        return 1;
    }
    std::vector<double> rendered;
    {
        host::HostContext context(argv[2]);
        auto plugin = host::PluginInstance::Create(module.Factory(), 0, &context, error);
        host::BusLayout layout;
        layout.mainIn = 1;
        layout.out = 1;
        if (!plugin || !plugin->SetBusLayout(layout, error) ||
            !plugin->Prepare(kRate, kBlock, false, error))
        {
            std::fprintf(stderr, "ostrel-test-peer: %s\n", error.c_str());
            return 1;
        }
        host::ParameterChanges settings;
        settings.Add(0, 0, source ? 1.0 / 3.0 : 2.0 / 3.0); // Role
        settings.Add(1, 0, (channel - 1) / 63.0);           // Channel
        settings.Add(2, 0, 1.0);                            // Depth 100 %
        Material material(source);
        std::vector<double> in(kBlock);
        std::vector<double> out(kBlock);
        char command = 0;
        bool first = true;
        while (read(STDIN_FILENO, &command, 1) == 1)
        {
            for (double& x : in)
                x = material.next();
            const double* ins[1] = {in.data()};
            double* outs[1] = {out.data()};
            plugin->Process(ins, nullptr, outs, kBlock, first ? &settings : nullptr);
            first = false;
            rendered.insert(rendered.end(), out.begin(), out.end());
            // The host's main thread every 20 ms of audio, as a real-time host.
            context.RunLoop().Advance(1000.0 * kBlock / kRate);
            if (write(STDOUT_FILENO, &command, 1) != 1)
                break;
        }
    }
    std::ofstream file(argv[5], std::ios::binary);
    file.write(reinterpret_cast<const char*>(rendered.data()),
               static_cast<std::streamsize>(rendered.size() * sizeof(double)));
    return file ? 0 : 1;
}
