// The stand-in WebView2 runtime (runtime_stand_in/) installed for a test: a
// copy registered in this prefix's registry as the stable runtime, its
// behaviour settings, and what it recorded.
#pragma once

#include "tests/windows/runtime_stand_in/stand_in_record.h"

#include <windows.h>

#include <initializer_list>
#include <string>
#include <utility>

namespace stand_in
{

// Installs a copy under the temporary folder (once per process: a loaded
// runtime stays in use) and registers it. Returns its folder.
std::wstring Install();
// Removes the registration, the overrides and the behaviour settings.
void Clean();
// Sets the behaviour variables (OSTREL_STAND_IN_...) for the next calls.
void Behave(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> settings);
// What the installed (loaded) runtime recorded; all zero before it loads.
StandInRecord Record();
// The open editor's page asks for a new window at `uri`: 1 when the editor
// took the request, 0 when it left it to the web view, -1 with no editor.
int RequestWindow(const std::wstring& uri);
// The user clicks in the open editor's page: its browser window takes the
// keyboard. Returns that window (null with no editor).
HWND Click();
// Tab (kMoveFocusNext) or Shift+Tab (kMoveFocusPrevious) past the open
// editor's page: 1 when the editor took the keys, 0 when it left them to the
// web view (which keeps them), -1 with no editor.
int TabOut(int reason);
void Reset();
// Runs this thread's message loop for about `milliseconds`.
void Pump(int milliseconds);
// Pumps until `done` or `milliseconds` have passed; returns `done()`.
template <typename Done> bool PumpUntil(Done done, int milliseconds)
{
    for (int waited = 0; waited < milliseconds && !done(); waited += 10)
        Pump(10);
    return done();
}

} // namespace stand_in
