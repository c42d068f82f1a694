// What the editor area says when the web view cannot show the page: each
// cause in its own words, with the error code for a support request.
#pragma once

#include <windows.h>

#include <string>

namespace plugfw
{

enum class EditorFailure
{
    NoRuntime,    // no usable WebView2 Runtime installed
    Apartment,    // the host's thread is in a multithreaded COM apartment
    DataFolder,   // the web view's data folder cannot be created or written
    RuntimeLoad,  // the runtime's library would not load
    RuntimeStart, // the runtime refused or failed to start a browser
    Controller,   // the browser could not make its view in our window
    Bridge,       // the page's bridge script could not be installed
    PageMissing,  // the editor page is not in the plug-in's folder
    PageLoad,     // the page was found but did not load
};

// `detail`: a path or a status the cause names (may be empty).
std::wstring EditorFailureText(EditorFailure failure, HRESULT result, const std::wstring& detail);

} // namespace plugfw
