// The plug-in's end of the web view helper: a non-blocking byte stream to the
// helper process and the process itself. The Linux implementation is a
// socket pair and a spawned child (helper_connection_linux.cpp).
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace plugfw
{

class HelperConnection
{
public:
    virtual ~HelperConnection() = default;

    // Writes what the stream takes now: the count written (0 when it is
    // full), or -1 when the helper is gone.
    virtual long Write(const char* bytes, size_t count) = 0;
    // Reads what is waiting: the count read (0 when nothing is waiting), or
    // -1 when the helper is gone (end of stream or error).
    virtual long Read(char* bytes, size_t capacity) = 0;
};

// Starts the helper executable at `helperPath` with the parent window id.
// nullptr when it cannot be started (missing, not executable, no resources).
std::unique_ptr<HelperConnection> StartWebViewHelper(const std::string& helperPath,
                                                     unsigned long parentWindow);

// Wraps an already connected stream socket (made non-blocking here); the
// process id, when not -1, is reaped after the connection closes.
std::unique_ptr<HelperConnection> HelperConnectionOverSocket(int socketFd, int processId);

// Collects helpers that have exited since they were closed; a helper that
// outlives its close by a few seconds is killed. Never blocks.
void ReapClosedWebViewHelpers();
// Helpers closed but not yet reaped (for tests and diagnostics).
int PendingWebViewHelpers();

// The folder of the module file that holds this code ("" when unknown).
std::string WebViewModuleFolder();

} // namespace plugfw
