// plugfw::IByteChunk: a growable byte buffer for state and preset data.
// Values are appended at the end and read back from a caller-given position;
// numbers are stored little-endian whatever the machine, so a saved state
// loads on any platform.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

namespace plugfw
{

class IByteChunk
{
public:
    // Storage grows in steps of at least this many bytes, and at least
    // doubles.
    static constexpr int kGranularity = 4096;

    int Size() const { return static_cast<int>(mBytes.size()); }
    const uint8_t* GetData() const { return mBytes.data(); }
    uint8_t* GetData() { return mBytes.data(); }
    void Clear() { mBytes.clear(); }

    // Appends bytes; returns the new size.
    int PutBytes(const void* data, int size);
    // Copies `size` bytes from `startPos`; returns the position after them,
    // or -1 (nothing copied) if they are not all there.
    int GetBytes(void* data, int size, int startPos) const;

    template <typename T> int Put(const T& value)
    {
        static_assert(std::is_arithmetic_v<T>);
        uint8_t bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        if constexpr (std::endian::native == std::endian::big)
            ReverseBytes(bytes, sizeof(T));
        return PutBytes(bytes, sizeof(T));
    }

    template <typename T> int Get(T& value, int startPos) const
    {
        static_assert(std::is_arithmetic_v<T>);
        uint8_t bytes[sizeof(T)];
        const int pos = GetBytes(bytes, sizeof(T), startPos);
        if (pos < 0)
            return -1;
        if constexpr (std::endian::native == std::endian::big)
            ReverseBytes(bytes, sizeof(T));
        std::memcpy(&value, bytes, sizeof(T));
        return pos;
    }

private:
    static void ReverseBytes(uint8_t* bytes, int n);

    std::vector<uint8_t> mBytes;
};

} // namespace plugfw
