// A peer's track name as the page's JSON texts carry it: quotes and
// backslashes escaped, control bytes and angle brackets left out.
#pragma once

#include "link/peer_registry.h"

#include <string>

namespace ostrel
{

// Writing stops once 72 output bytes are reached.
inline constexpr size_t kEscapedNameLimit = 72;

void AppendEscapedName(std::string& out, const char* name);

// The slot's name read under its sequence counter (empty when never written
// or not readable consistently), escaped.
void AppendEscapedSlotName(std::string& out, const PeerSlot& slot);

} // namespace ostrel
