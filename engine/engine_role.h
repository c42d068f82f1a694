// The roles an instance takes (its Role parameter).
#pragma once

namespace ostrel
{

enum EngineRole : int
{
    kRoleOff = 0,
    kRoleSource = 1,
    kRoleMasker = 2,
    kRoleSelf = 3,
};

} // namespace ostrel
