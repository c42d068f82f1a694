// The registry's clock on Windows: milliseconds since start-up, 64 bits wide
// so it never wraps.
#include <windows.h>

#include <cstdint>

namespace ostrel
{

int64_t monotonicMsPlatform()
{
    return static_cast<int64_t>(GetTickCount64());
}

} // namespace ostrel
