// The other process of the two-process test of the shared registry on
// Windows: joins the block NAME, holds channel CHANNEL as a Source with
// every band at LEVEL, says "ready" on its standard output and stays until
// its standard input closes; then leaves.
//
//   ostrel-segment-peer NAME CHANNEL LEVEL
#include "link/peer_registry.h"
#include "link/process_identity.h"
#include "link/shared_segment.h"

#include <cstdio>
#include <cstdlib>

using namespace ostrel;

int main(int argc, char** argv)
{
    if (argc != 4)
    {
        std::fprintf(stderr, "usage: ostrel-segment-peer NAME CHANNEL LEVEL\n");
        return 2;
    }
    SegmentAttachment block;
    if (block.attach(argv[1], currentProcessIdentity(), "segment-test") != SegmentStatus::Attached)
    {
        std::fprintf(stderr, "ostrel-segment-peer: %s\n", block.why().c_str());
        return 1;
    }
    PeerRegistry& registry = *block.registry();
    PeerLink link;
    initPeerLink(registry, link);
    const int channel = std::atoi(argv[2]);
    const auto level = static_cast<float>(std::atof(argv[3]));
    if (!claimByChannel(registry, link, kPeerRoleSource, channel))
        return 3;
    beginLevels(registry, link);
    for (int k = 0; k < kPeerBandCount; ++k)
        writeLevel(registry, link, k, level);
    publishBlock(registry, link, 0, 512);
    std::printf("ready\n");
    std::fflush(stdout);
    char c = 0;
    while (std::fread(&c, 1, 1, stdin) == 1)
    {
    }
    detachAtDestruction(registry, link);
    block.detach();
    return 0;
}
