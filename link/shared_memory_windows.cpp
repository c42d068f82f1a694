#include "link/shared_memory.h"

#include <windows.h>

namespace ostrel
{
namespace
{

std::wstring widen(const std::string& text)
{
    std::wstring wide;
    for (unsigned char c : text)
        wide.push_back(static_cast<wchar_t>(c)); // names are plain ASCII
    return wide;
}

std::string failure(const char* what)
{
    return std::string(what) + " failed, error " + std::to_string(GetLastError());
}

} // namespace

SharedMemoryOpen openSharedMemory(const std::string& name, size_t size, SharedMemoryMapping& out,
                                  std::string& why, bool mayCreate)
{
    out = SharedMemoryMapping{};
    if (name.empty() || name.find('\\') != std::string::npos || size == 0)
    {
        why = "not a valid name or size";
        return SharedMemoryOpen::Failed;
    }
    // The session's own namespace; the default security of a mapping made by
    // this process gives it to this user alone.
    const std::wstring path = L"Local\\" + widen(name);
    const auto high = static_cast<DWORD>(static_cast<unsigned long long>(size) >> 32);
    const auto low = static_cast<DWORD>(size & 0xFFFFFFFFu);
    HANDLE mapping = mayCreate ? CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                                    high, low, path.c_str())
                               : OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, path.c_str());
    if (mapping == nullptr)
    {
        why = failure("CreateFileMappingW");
        return GetLastError() == ERROR_ACCESS_DENIED ? SharedMemoryOpen::Refused
                                                     : SharedMemoryOpen::Failed;
    }
    const bool existed = !mayCreate || GetLastError() == ERROR_ALREADY_EXISTS;
    void* base = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (base == nullptr)
    {
        why = failure("MapViewOfFile");
        CloseHandle(mapping);
        return SharedMemoryOpen::Failed;
    }
    // A mapping made with another size (another version) is not used.
    MEMORY_BASIC_INFORMATION info = {};
    if (existed && (VirtualQuery(base, &info, sizeof info) == 0 || info.RegionSize < size ||
                    info.RegionSize >= size + 65536))
    {
        why = "the shared memory has another size (another version of the plug-in?)";
        UnmapViewOfFile(base);
        CloseHandle(mapping);
        return SharedMemoryOpen::Refused;
    }
    out.base = base;
    out.size = size;
    out.handle = reinterpret_cast<intptr_t>(mapping);
    return existed ? SharedMemoryOpen::Opened : SharedMemoryOpen::Created;
}

void closeSharedMemory(SharedMemoryMapping& mapping)
{
    if (mapping.base != nullptr)
        UnmapViewOfFile(mapping.base);
    if (mapping.handle != -1 && mapping.handle != 0)
        CloseHandle(reinterpret_cast<HANDLE>(mapping.handle));
    mapping = SharedMemoryMapping{};
}

std::vector<std::string> listSharedMemory(const std::string&)
{
    return {};
}

void removeSharedMemory(const std::string&)
{
    // A mapping goes when its last handle closes.
}

} // namespace ostrel
