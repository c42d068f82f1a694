#include "framework/byte_chunk.h"

#include <algorithm>

namespace plugfw
{

int IByteChunk::PutBytes(const void* data, int size)
{
    if (size <= 0 || !data)
        return Size();
    const size_t needed = mBytes.size() + static_cast<size_t>(size);
    if (needed > mBytes.capacity())
    {
        // Doubling keeps a long run of small appends linear in the total.
        const size_t step = kGranularity;
        const size_t rounded = (needed + step - 1) / step * step;
        mBytes.reserve(std::max(rounded, 2 * mBytes.capacity()));
    }
    const auto* p = static_cast<const uint8_t*>(data);
    mBytes.insert(mBytes.end(), p, p + size);
    return Size();
}

int IByteChunk::GetBytes(void* data, int size, int startPos) const
{
    if (startPos < 0 || size < 0 || startPos > Size() || Size() - startPos < size)
        return -1;
    if (size > 0)
        std::memcpy(data, mBytes.data() + startPos, static_cast<size_t>(size));
    return startPos + size;
}

void IByteChunk::ReverseBytes(uint8_t* bytes, int n)
{
    std::reverse(bytes, bytes + n);
}

} // namespace plugfw
