#include "link/registry_hub.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "link/shared_segment.h"

namespace ostrel
{
namespace
{

// A shared block this process is in, and how many instances lease it.
struct Block
{
    std::unique_ptr<SegmentAttachment> attachment;
    std::string name;
    int leases = 0;
};

struct Hub
{
    std::mutex mutex;
    RegistryPlace place;
    SessionView view; // as seen when the session was joined
    // The current place's block first (when it is one), then blocks that
    // instances still lease after the place moved on.
    std::vector<Block> blocks;
    bool currentIsBlock = false;
    int64_t lastReapMs = 0;
};

// Made before (and so gone after) the exit guard below; at module unload or
// process exit no instance uses it any more.
Hub gHub;

Hub& hub()
{
    return gHub;
}

std::atomic<PeerRegistry*> gSessionRegistry{nullptr};
std::atomic<uint32_t> gGeneration{0};

// Blocks of host sessions whose host process is gone and that no process
// uses any more (a crash or a kill left them) are removed by the next
// process that joins one.
void removeAbandonedBlocks(uint32_t user)
{
    const std::string prefix = "ostrel-" + std::to_string(user) + "-";
    for (const std::string& name : listSharedMemory(prefix))
    {
        int32_t pid = 0;
        uint64_t start = 0;
        if (sessionBlockHost(name, user, pid, start) && !isProcessRunning(pid, start))
            removeIfAbandoned(name, isProcessRunning);
    }
}

// Leaves the blocks that are neither the current place nor leased.
void dropUnusedBlocks(Hub& h)
{
    for (size_t i = h.currentIsBlock ? 1 : 0; i < h.blocks.size();)
    {
        if (h.blocks[i].leases > 0)
        {
            ++i;
            continue;
        }
        h.blocks[i].attachment->detach();
        h.blocks.erase(h.blocks.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

// Moves the hub to the session `mode` gives for the view it joined with.
void placeSession(Hub& h, CrossProcessLinking mode)
{
    const HostSession session = hostSessionFor(h.view, mode);
    h.place.mode = mode;
    h.place.hostPid = session.hostPid;
    h.place.inHostProcess = session.inHostProcess;
    h.place.why.clear();
    h.place.shared = false;
    // The block the place had becomes one that only its leases keep.
    h.currentIsBlock = false;
    if (!session.blockName.empty())
    {
        auto same =
            std::find_if(h.blocks.begin(), h.blocks.end(),
                         [&session](const Block& b) { return b.name == session.blockName; });
        if (same == h.blocks.end())
        {
            removeAbandonedBlocks(h.view.user);
            auto attachment = std::make_unique<SegmentAttachment>();
            if (attachment->attach(session.blockName, h.view.self, h.view.hostName) ==
                SegmentStatus::Attached)
            {
                h.blocks.insert(h.blocks.begin(),
                                Block{std::move(attachment), session.blockName, 0});
                h.currentIsBlock = true;
            }
            else
            {
                h.place.why = attachment->why();
            }
        }
        else
        {
            std::rotate(h.blocks.begin(), same, same + 1);
            h.currentIsBlock = true;
        }
    }
    h.place.shared = h.currentIsBlock;
    gSessionRegistry.store(h.currentIsBlock ? h.blocks.front().attachment->registry() : nullptr,
                           std::memory_order_release);
    dropUnusedBlocks(h);
    gGeneration.fetch_add(1, std::memory_order_acq_rel);
}

// A process that ends with instances still open (hosts do) leaves its block.
struct LeaveAtExit
{
    ~LeaveAtExit() { leaveHostSession(); }
} gLeaveAtExit;

} // namespace

PeerRegistry* sessionRegistry()
{
    return gSessionRegistry.load(std::memory_order_acquire);
}

uint32_t placeGeneration()
{
    return gGeneration.load(std::memory_order_acquire);
}

RegistryPlace joinHostSession(const std::string& hostName, CrossProcessLinking mode)
{
    Hub& h = hub();
    std::lock_guard<std::mutex> lock(h.mutex);
    if (h.place.decided)
        return h.place;
    h.place.decided = true;
    h.place.processId = thisProcessId();
    h.view.self = currentProcessIdentity();
    h.view.parentExecutable = processExecutable(h.view.self.parentPid);
    h.view.parentStartTime = processStartTime(h.view.self.parentPid);
    h.view.hostName = hostName;
    h.view.user = currentUserId();
    placeSession(h, mode);
    return h.place;
}

bool followLinkPreference(CrossProcessLinking mode)
{
    Hub& h = hub();
    std::lock_guard<std::mutex> lock(h.mutex);
    if (!h.place.decided || h.place.mode == mode)
        return false;
    placeSession(h, mode);
    return true;
}

RegistryPlace registryPlace()
{
    Hub& h = hub();
    std::lock_guard<std::mutex> lock(h.mutex);
    return h.place;
}

RegistryLease leaseRegistry()
{
    Hub& h = hub();
    std::lock_guard<std::mutex> lock(h.mutex);
    RegistryLease lease;
    lease.generation = gGeneration.load(std::memory_order_acquire);
    if (h.currentIsBlock)
    {
        ++h.blocks.front().leases;
        lease.registry = h.blocks.front().attachment->registry();
    }
    else
    {
        lease.registry = &sharedRegistry();
    }
    return lease;
}

void returnRegistryLease(const RegistryLease& lease)
{
    Hub& h = hub();
    std::lock_guard<std::mutex> lock(h.mutex);
    for (Block& block : h.blocks)
        if (block.attachment->registry() == lease.registry && block.leases > 0)
        {
            --block.leases;
            break;
        }
    dropUnusedBlocks(h);
}

int attachedBlockCount()
{
    Hub& h = hub();
    std::lock_guard<std::mutex> lock(h.mutex);
    return static_cast<int>(h.blocks.size());
}

void reapHostSession(int64_t nowMs)
{
    Hub& h = hub();
    std::lock_guard<std::mutex> lock(h.mutex);
    if (h.blocks.empty() || nowMs - h.lastReapMs < 1000)
        return;
    h.lastReapMs = nowMs;
    for (Block& block : h.blocks)
        reapGoneProcesses(*block.attachment->segment(), isProcessRunning);
}

void leaveHostSession()
{
    Hub& h = hub();
    std::lock_guard<std::mutex> lock(h.mutex);
    gSessionRegistry.store(nullptr, std::memory_order_release);
    for (Block& block : h.blocks)
        block.attachment->detach();
    h.blocks.clear();
    h.currentIsBlock = false;
    h.place = RegistryPlace{};
}

int32_t slotProcessId(const PeerSlot& slot)
{
    return slot.ownerPid.load(std::memory_order_relaxed);
}

} // namespace ostrel
