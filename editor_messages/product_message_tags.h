// Message tags of the product's own messages between the plug-in and its
// page (the "t" member of each outgoing text repeats the distinction).
#pragma once

namespace ostrel
{

// Plug-in -> page.
inline constexpr int kTagParams = -1; // the framework's parameter descriptions
inline constexpr int kTagMeters = 0;
inline constexpr int kTagSources = 2;
inline constexpr int kTagMatrix = 9;
inline constexpr int kTagPresets = 11;
inline constexpr int kTagOnboarded = 13;
inline constexpr int kTagFileError = 15; // a write of the data folder failed, or it is refused
inline constexpr int kTagSettings = 17;  // settings slot, preset name and modified mark

// Page -> plug-in.
inline constexpr int kTagParameter = 1;
inline constexpr int kTagFocus = 8;
inline constexpr int kTagSavePresets = 10;
inline constexpr int kTagSetOnboarded = 12;
inline constexpr int kTagHostKeys = 20;
inline constexpr int kTagSolo = 21;
inline constexpr int kTagMatrixEdit = 22;
inline constexpr int kTagOpenLink = 23;
// {"link":"automatic"|"never"|"always"}: the user's "Link across processes".
inline constexpr int kTagLinkPreference = 24;
// A preset applied (or saved, or let go of) as one edit: its name and values.
inline constexpr int kTagPreset = 30;
// Settings slots A and B: switch to one, or copy the active one to the other.
inline constexpr int kTagCompare = 31;
// {"w":..,"h":..}: the page's resize corner asks for an editor size in
// logical pixels.
inline constexpr int kTagResize = 40;

} // namespace ostrel
