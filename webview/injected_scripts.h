// The scripts that the web view runs at the start of every document, before
// the page's own: the page's way to post messages to the plug-in and the
// forwarding of keys that no text field takes.
#pragma once

#include <array>
#include <string_view>

namespace plugfw
{

inline constexpr std::string_view kPluginSendMsgScript =
    "function PluginSendMsg(m) {window.chrome.webview.postMessage(m)};";

inline constexpr std::string_view kKeyDownForwardScript =
    "document.addEventListener('keydown', function(e) { if(document.activeElement.type != "
    "\"text\") { PluginSendMsg({'msg': 'SKPFUI', 'keyCode': e.keyCode, 'utf8': e.key, 'S': "
    "e.shiftKey, 'C': e.ctrlKey, 'A': e.altKey, 'isUp': false}); }});";

inline constexpr std::string_view kKeyUpForwardScript =
    "document.addEventListener('keyup', function(e) { if(document.activeElement.type != "
    "\"text\") { PluginSendMsg({'msg': 'SKPFUI', 'keyCode': e.keyCode, 'utf8': e.key, 'S': "
    "e.shiftKey, 'C': e.ctrlKey, 'A': e.altKey, 'isUp': true}); }});";

inline constexpr std::array<std::string_view, 3> kInjectedScripts = {
    kPluginSendMsgScript, kKeyDownForwardScript, kKeyUpForwardScript};

} // namespace plugfw
