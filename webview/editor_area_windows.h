// The editor's own child window inside the host's window: it carries the web
// view, shows a failure in plain words, and runs work posted to it from its
// own message, outside the runtime's event handlers. Its window class belongs
// to this load of the module: registered with the module's own handle on
// first use and unregistered when the module leaves, so that a module loaded
// again (perhaps at another address) never meets a class whose window
// procedure is gone.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace plugfw
{

// A visible child of `parent`; nullptr when no window can be made.
HWND CreateEditorArea(HWND parent, int width, int height);

// Shows `text` in the area (empty: nothing).
void ShowEditorAreaText(HWND area, const std::wstring& text);

// Runs `work` from the area's own message, after the caller has returned.
// Dropped when the area is destroyed first.
bool PostToEditorArea(HWND area, std::function<void()> work);

// At module exit: unregisters the class if this load registered it and no
// area is left.
void UnregisterEditorAreaClass();

} // namespace plugfw
