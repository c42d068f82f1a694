// A named block of memory that the processes of one user can all map: the
// platform's part of the registry shared across host processes. On Linux a
// POSIX shared-memory object (mode 0600, the user's own, never followed
// through a link); on Windows a file mapping in the session's Local\ space.
// Off the audio thread only: these are system calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ostrel
{

enum class SharedMemoryOpen
{
    Created, // made here, zero-filled
    Opened,  // another process made it
    Refused, // it exists but is not ours to use (owner, mode or size)
    Failed,  // the system said no
};

struct SharedMemoryMapping
{
    void* base = nullptr;
    size_t size = 0;
    intptr_t handle = -1; // the platform's descriptor or handle
};

// Creates the block `name` (a plain name: no slash, no backslash) of exactly
// `size` bytes, or opens it when it exists. Two processes that create at once
// both end up with the same block. `why` says what went wrong. With
// `mayCreate` false a missing block is a failure.
SharedMemoryOpen openSharedMemory(const std::string& name, size_t size, SharedMemoryMapping& out,
                                  std::string& why, bool mayCreate = true);

// Unmaps the block and closes its handle.
void closeSharedMemory(SharedMemoryMapping& mapping);

// Removes the name, so that the next open creates a new block (Linux; on
// Windows a mapping goes when its last handle closes).
void removeSharedMemory(const std::string& name);

// The names of the blocks that start with `prefix` (Linux; on Windows none
// outlive their processes, so the list is empty).
std::vector<std::string> listSharedMemory(const std::string& prefix);

} // namespace ostrel
