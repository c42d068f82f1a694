#include "storage/write_failure.h"

namespace ostrel
{

std::string DescribeWriteFailure(WriteFailure failure, const std::string& folder)
{
    switch (failure)
    {
    case WriteFailure::None:
        return {};
    case WriteFailure::FolderRefused:
        return "Ostrel does not use " + folder + ": another user could have put it there";
    case WriteFailure::DiskFull:
        return "the disk is full (" + folder + ")";
    case WriteFailure::TooLarge:
        return "the file is larger than the system allows (" + folder + ")";
    case WriteFailure::NotPermitted:
        return "no permission to write in " + folder;
    case WriteFailure::ReadOnly:
        return "the disk of " + folder + " is read-only";
    case WriteFailure::Other:
        break;
    }
    return "the system refused the write in " + folder;
}

} // namespace ostrel
