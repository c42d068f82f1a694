// What the stand-in runtime saw, as the tests read it through its export
// StandInRecordOf (StandInReset starts afresh).
#pragma once

#include <windows.h>

struct StandInRecord
{
    int environmentCalls; // calls of the creation export
    int environmentRefs;  // references held on the environment by others
    int controllersCreated;
    int controllersAlive;          // created and not yet closed
    int controllersForGoneWindows; // completed after their parent window went
    int scriptsAdded;
    int scriptsCompleted;
    int navigations;
    int navigationsBeforeScripts; // navigations while a script was not yet in
    int parentMoves;              // NotifyParentWindowPositionChanged calls
    int focusMoves;               // MoveFocus calls
    BOOL visible;
    RECT bounds;
    wchar_t address[260];
};
