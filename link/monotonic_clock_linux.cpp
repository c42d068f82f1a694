#include <chrono>
#include <cstdint>

namespace ostrel
{

int64_t monotonicMsPlatform()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace ostrel
