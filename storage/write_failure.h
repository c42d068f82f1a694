// Why a write of one of the per-user files did not happen, and how the page
// puts it to the user.
#pragma once

#include <string>

namespace ostrel
{

enum class WriteFailure
{
    None,
    // The data folder is not one of the user's own in a place where another
    // user could have put it (a link, or someone else's folder).
    FolderRefused,
    DiskFull,
    TooLarge, // over the system's limit on a file's size
    NotPermitted,
    ReadOnly,
    Other,
};

// In words for the user, naming the folder: "the disk is full (/home/u/...)".
std::string DescribeWriteFailure(WriteFailure failure, const std::string& folder);

} // namespace ostrel
