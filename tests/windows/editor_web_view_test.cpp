// The editor's web view on Windows through the stand-in runtime, which
// answers from the message loop in the orders a real runtime may take: the
// page is navigated to only once its bridge scripts are in, a controller
// that arrives after the editor closed is closed too, every failure says
// what failed, and the browser follows a host window that moves or resizes.
#include "framework/iweb_view.h"
#include "missing_dependency.h"
#include "stand_in_runtime.h"
#include "webview/editor_web_view.h"
#include "webview/webview2_com_windows.h"
#include "webview/webview2_loader_windows.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <thread>

namespace
{

namespace fs = std::filesystem;

constexpr wchar_t kPageAddress[] = L"https://ostrel-editor.example/index.html";

class PageView : public plugfw::IWebView
{
};

fs::path PageFolder()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return fs::path(self).parent_path() / "web";
}

std::wstring AreaText(HWND parent)
{
    HWND child = GetWindow(parent, GW_CHILD);
    if (!child)
        return L"(no child window)";
    wchar_t text[1024] = {};
    GetWindowTextW(child, text, 1024);
    return text;
}

std::string Narrow(const std::wstring& text)
{
    return fs::path(text).string();
}

class EditorWebView : public ::testing::Test
{
protected:
    void SetUp() override
    {
        stand_in::Clean();
        // Each test starts as a fresh module load would: no shared browser.
        plugfw::ReleaseEditorWebViewsAtModuleExit();
        // The page where the editor looks for it beside this program.
        fs::create_directories(PageFolder());
        std::ofstream(PageFolder() / "index.html") << "<!doctype html><title>Ostrel</title>";
        parent = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 50, 50, 640, 480,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (parent == nullptr)
            OSTREL_SKIP_FOR_MISSING("no display for Wine's windows (xvfb-run)");
        stand_in::Install();
        stand_in::Pump(20);
        stand_in::Reset();
    }
    void TearDown() override
    {
        if (parent)
            DestroyWindow(parent);
        stand_in::Pump(20);
        plugfw::ReleaseEditorWebViewsAtModuleExit();
        stand_in::Clean();
    }

    enum class Until
    {
        PageRequested, // the runtime was asked for the page
        Words,         // the area says something
    };
    // Opens an editor, lets the runtime answer until `until` (or a few
    // seconds: a slow machine must not fail the test), and returns the
    // area's text.
    std::wstring OpenAndSettle(PageView& view, Until until = Until::PageRequested)
    {
        EXPECT_TRUE(plugfw::OpenEditorWebView(view, parent, 400, 300, 1.0f));
        stand_in::PumpUntil(
            [&] {
                return until == Until::Words ? !AreaText(parent).empty()
                                             : stand_in::Record().navigations > 0;
            },
            8000);
        stand_in::Pump(100); // what follows at once (a second navigation would show)
        return AreaText(parent);
    }

    HWND parent = nullptr;
};

TEST_F(EditorWebView, NavigatesOnlyOnceTheBridgeIsInWhateverTheOrderOfAnswers)
{
    struct Case
    {
        const char* order;
        const wchar_t* variable;
        const wchar_t* value;
    };
    const Case cases[] = {
        {"answers on the next round", nullptr, nullptr},
        {"scripts confirmed late", L"OSTREL_STAND_IN_SCRIPTS", L"late"},
        {"environment late", L"OSTREL_STAND_IN_ENVIRONMENT", L"late"},
        {"controller late", L"OSTREL_STAND_IN_CONTROLLER", L"late"},
    };
    for (const Case& c : cases)
    {
        plugfw::ReleaseEditorWebViewsAtModuleExit();
        stand_in::Clean();
        stand_in::Install();
        if (c.variable)
            stand_in::Behave({{c.variable, c.value}});
        stand_in::Reset();
        PageView view;
        const std::wstring text = OpenAndSettle(view);
        const StandInRecord record = stand_in::Record();
        EXPECT_EQ(text, L"") << c.order;
        EXPECT_EQ(record.controllersCreated, 1) << c.order;
        EXPECT_EQ(record.scriptsCompleted, record.scriptsAdded) << c.order;
        EXPECT_GE(record.scriptsAdded, 1) << c.order;
        EXPECT_EQ(record.navigations, 1) << c.order;
        EXPECT_EQ(record.navigationsBeforeScripts, 0) << c.order;
        EXPECT_STREQ(record.address, kPageAddress) << c.order;
        EXPECT_TRUE(record.visible) << c.order;
        view.DetachWebViewBackend();
        EXPECT_EQ(stand_in::Record().controllersAlive, 0) << c.order << ": closing closes it";
        EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr) << c.order;
    }
}

TEST_F(EditorWebView, AControllerArrivingAfterTheEditorClosedIsClosedToo)
{
    stand_in::Behave({{L"OSTREL_STAND_IN_CONTROLLER", L"late"}});
    {
        PageView view;
        ASSERT_TRUE(plugfw::OpenEditorWebView(view, parent, 400, 300, 1.0f));
        stand_in::Pump(50); // the environment is there, the controller not yet
        view.DetachWebViewBackend();
    }
    ASSERT_TRUE(
        stand_in::PumpUntil([] { return stand_in::Record().controllersCreated == 1; }, 2000));
    stand_in::Pump(50);
    const StandInRecord record = stand_in::Record();
    EXPECT_EQ(record.controllersForGoneWindows, 1);
    EXPECT_EQ(record.controllersAlive, 0) << "its browser would linger";
    EXPECT_EQ(record.navigations, 0);
}

// Runs `open` on a thread of its own in a multithreaded apartment, with a
// host window of that thread, and returns the area's text.
std::wstring TextOnMultithreadedThread()
{
    std::wstring text;
    std::thread thread(
        [&text]
        {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            HWND host = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                                        nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
            {
                PageView view;
                plugfw::OpenEditorWebView(view, host, 400, 300, 1.0f);
                stand_in::Pump(100);
                text = AreaText(host);
            }
            DestroyWindow(host);
            CoUninitialize();
        });
    thread.join();
    return text;
}

TEST_F(EditorWebView, EveryFailureSaysWhatFailed)
{
    const fs::path blocker = fs::temp_directory_path() / "ostrel-blocking-file";
    std::ofstream(blocker) << "a file where a folder should go";
    const std::wstring blockedFolder = (blocker / "cache").wstring();

    struct Case
    {
        const char* what;
        std::function<void()> arrange;
        std::vector<std::wstring> expected; // phrases, the error code among them
        int environmentCalls;               // -1: not checked
    };
    const fs::path page = PageFolder();
    const fs::path pageAway = page.parent_path() / "web-away";
    const Case cases[] = {
        {"no runtime",
         [] { stand_in::Clean(); },
         {L"needs the Microsoft Edge WebView2 Runtime", L"0x80070002"},
         -1},
        {"data folder",
         [&] {
             stand_in::Behave({{L"WEBVIEW2_USER_DATA_FOLDER", blockedFolder.c_str()}});
         },
         {L"data folder", blockedFolder},
         0},
        {"runtime will not load",
         []
         {
             // Not a library at all where the runtime's should be.
             const fs::path fake = fs::temp_directory_path() / "ostrel-broken-runtime" /
                                   "120.0.2210.91" / "EBWebView" / "x64";
             fs::create_directories(fake);
             std::ofstream(fake / "EmbeddedBrowserWebView.dll") << "not a library";
             stand_in::Behave({{L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER",
                                fake.parent_path().parent_path().c_str()}});
         },
         {L"would not load", L"ostrel-broken-runtime"},
         -1},
        {"environment fails, also without options",
         [] {
             stand_in::Behave({{L"OSTREL_STAND_IN_ANSWER", L"fail"}});
         },
         {L"could not start its browser", L"0x80004005"},
         2},
        {"runtime refuses at once",
         [] {
             stand_in::Behave({{L"OSTREL_STAND_IN_ANSWER", L"refuse"}});
         },
         {L"could not start its browser", L"0x80070005"},
         2},
        {"controller fails",
         [] {
             stand_in::Behave({{L"OSTREL_STAND_IN_CONTROLLER", L"fail"}});
         },
         {L"could not make its view", L"0x80004005"},
         1},
        {"bridge not installed",
         [] {
             stand_in::Behave({{L"OSTREL_STAND_IN_SCRIPTS", L"fail"}});
         },
         {L"connection to the plug-in", L"0x80004005"},
         1},
        {"page missing",
         [&] { fs::rename(page, pageAway); },
         {L"missing from the plug-in's folder", L"index.html", L"0x80070002"},
         0},
        {"page does not load",
         [] {
             stand_in::Behave({{L"OSTREL_STAND_IN_PAGE", L"fail"}});
         },
         {L"did not load", L"status 12"},
         1},
    };
    std::set<std::wstring> texts;
    for (const Case& c : cases)
    {
        plugfw::ReleaseEditorWebViewsAtModuleExit();
        stand_in::Clean();
        stand_in::Install();
        c.arrange();
        stand_in::Reset();
        const int callsBefore = stand_in::Record().environmentCalls;
        PageView view;
        const std::wstring text = OpenAndSettle(view, Until::Words);
        for (const std::wstring& phrase : c.expected)
        {
            EXPECT_NE(text.find(phrase), std::wstring::npos)
                << c.what << ": \"" << Narrow(phrase) << "\" not in \"" << Narrow(text) << "\"";
        }
        if (c.environmentCalls >= 0)
        {
            EXPECT_EQ(stand_in::Record().environmentCalls - callsBefore, c.environmentCalls)
                << c.what;
        }
        EXPECT_TRUE(texts.insert(text).second) << c.what << ": the same words as another cause";
        view.DetachWebViewBackend();
        if (fs::exists(pageAway))
            fs::rename(pageAway, page);
    }

    // A multithreaded apartment on the host's thread.
    stand_in::Clean();
    stand_in::Install();
    const std::wstring text = TextOnMultithreadedThread();
    EXPECT_NE(text.find(L"multithreaded"), std::wstring::npos) << Narrow(text);
    EXPECT_NE(text.find(L"0x80010106"), std::wstring::npos) << Narrow(text);
    EXPECT_TRUE(texts.insert(text).second);
    fs::remove(blocker);
}

TEST_F(EditorWebView, ClosingLeavesTheThreadsComAsItFoundIt)
{
    // A thread the host never initialised COM on: once the editor is closed,
    // the thread may still choose its apartment, as if the editor had never
    // been there.
    HRESULT afterwards = E_FAIL;
    std::thread thread(
        [&afterwards]
        {
            HWND host = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                                        nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
            {
                PageView view;
                plugfw::OpenEditorWebView(view, host, 400, 300, 1.0f);
                stand_in::Pump(300);
            }
            DestroyWindow(host);
            afterwards = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            if (SUCCEEDED(afterwards))
                CoUninitialize();
        });
    thread.join();
    EXPECT_EQ(afterwards, S_OK);
}

TEST_F(EditorWebView, ARuntimeThatRejectsTheOptionsLaterStartsWithout)
{
    stand_in::Behave({{L"OSTREL_STAND_IN_ANSWER", L"fail-with-options"}});
    PageView view;
    EXPECT_EQ(OpenAndSettle(view), L"");
    const StandInRecord record = stand_in::Record();
    EXPECT_EQ(record.environmentCalls, 2);
    EXPECT_EQ(record.navigations, 1);
    view.DetachWebViewBackend();
}

TEST_F(EditorWebView, TheRuntimeKeepsItsDataInTheLocalApplicationDataFolder)
{
    PWSTR known = nullptr;
    ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known), S_OK);
    const std::wstring local = known;
    CoTaskMemFree(known);
    EXPECT_EQ(plugfw::EditorWebViewDataFolder(), local + L"\\Talmesh\\WebViewCache");

    // Without the known folder, the temporary one; never nothing (the
    // runtime would then write beside the host's program).
    struct Case
    {
        const wchar_t* local;
        const wchar_t* temp;
        const wchar_t* expected;
    };
    for (const Case& c :
         {Case{L"C:\\Users\\a\\AppData\\Local", L"C:\\Temp\\",
               L"C:\\Users\\a\\AppData\\Local\\Talmesh\\WebViewCache"},
          Case{L"", L"C:\\Temp\\", L"C:\\Temp\\Talmesh\\WebViewCache"}, Case{L"", L"", L""}})
    {
        EXPECT_EQ(plugfw::EditorWebViewDataFolder(c.local, c.temp), c.expected)
            << Narrow(c.local) << " | " << Narrow(c.temp);
    }

    // What the runtime was given, and the browser version we ask for.
    PageView view;
    OpenAndSettle(view);
    int kind = 0;
    int flags = 0;
    wchar_t folder[MAX_PATH] = {};
    HMODULE runtime = GetModuleHandleW(
        (stand_in::Install() + L"\\EBWebView\\x64\\EmbeddedBrowserWebView.dll").c_str());
    ASSERT_NE(runtime, nullptr);
    auto calls = reinterpret_cast<int (*)(int*, wchar_t*, int, int*)>(
        reinterpret_cast<void*>(GetProcAddress(runtime, "StandInCalls")));
    auto target = reinterpret_cast<void (*)(wchar_t*, int)>(
        reinterpret_cast<void*>(GetProcAddress(runtime, "StandInTargetVersion")));
    ASSERT_TRUE(calls && target);
    calls(&kind, folder, MAX_PATH, &flags);
    EXPECT_EQ(std::wstring(folder), local + L"\\Talmesh\\WebViewCache");
    EXPECT_TRUE(fs::is_directory(folder));
    wchar_t version[64] = {};
    target(version, 64);
    unsigned parts[4] = {};
    EXPECT_EQ(swscanf(version, L"%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]), 4)
        << Narrow(version);
    EXPECT_GE(parts[0], 86u) << "no older than the oldest runtime the editor accepts";
    view.DetachWebViewBackend();
}

TEST_F(EditorWebView, WebLinksOpenInTheUsersBrowserAndOtherAddressesStayWithTheWebView)
{
    // The user's browser, for this test: a command that notes what it got
    // (the machine-wide association, as this prefix has it; put back after).
    const fs::path opened = fs::temp_directory_path() / "ostrel-opened-link.txt";
    fs::remove(opened);
    const std::wstring command =
        L"C:\\windows\\system32\\cmd.exe /c echo %1>\"" + opened.wstring() + L"\"";
    constexpr wchar_t kHttps[] = L"Software\\Classes\\https\\shell\\open\\command";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kHttps, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    wchar_t before[1024] = {};
    DWORD bytes = sizeof before;
    const bool hadBefore =
        RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(before), &bytes) ==
        ERROR_SUCCESS;
    auto set = [key](const std::wstring& value)
    {
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    };
    set(command);

    PageView view;
    ASSERT_EQ(OpenAndSettle(view), L"");
    for (const wchar_t* other : {L"file:///C:/windows/system32/notepad.exe", L"about:blank"})
    {
        EXPECT_EQ(stand_in::RequestWindow(other), 0) << Narrow(other);
    }
    EXPECT_EQ(stand_in::RequestWindow(L"https://ostrel.example/manual"), 1);
    EXPECT_TRUE(stand_in::PumpUntil([&] { return fs::exists(opened) && fs::file_size(opened) > 0; },
                                    10000));
    std::string noted;
    std::getline(std::ifstream(opened), noted);
    EXPECT_NE(noted.find("https://ostrel.example/manual"), std::string::npos) << noted;
    view.DetachWebViewBackend();
    if (hadBefore)
        set(before);
    else
        RegDeleteValueW(key, nullptr);
    RegCloseKey(key);
    fs::remove(opened);
}

TEST_F(EditorWebView, TheBrowserFollowsTheHostWindowThatMovesOrResizes)
{
    PageView view;
    ASSERT_EQ(OpenAndSettle(view), L"");
    view.PollWebView();
    ASSERT_EQ(stand_in::Record().parentMoves, 0);

    SetWindowPos(parent, nullptr, 120, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    view.PollWebView();
    EXPECT_EQ(stand_in::Record().parentMoves, 1);
    view.PollWebView();
    EXPECT_EQ(stand_in::Record().parentMoves, 1) << "told once per move";

    // Resized without the plug-in's own resize call.
    SetWindowPos(parent, nullptr, 0, 0, 800, 560, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    view.PollWebView();
    RECT client{};
    GetClientRect(parent, &client);
    const RECT bounds = stand_in::Record().bounds;
    EXPECT_EQ(bounds.right - bounds.left, client.right);
    EXPECT_EQ(bounds.bottom - bounds.top, client.bottom);
    view.DetachWebViewBackend();
}

// Windows gives the browser the keyboard at any click in it. The host keeps
// its keys: a click that begins no edit (a button, a knob) gives them back to
// the host's window that had them, right after; while a text field is edited
// the page keeps them, and the end of the edit gives them back.
TEST_F(EditorWebView, TheKeyboardGoesBackToTheHostUnlessATextFieldIsEdited)
{
    ShowWindow(parent, SW_SHOW);
    PageView view;
    ASSERT_EQ(OpenAndSettle(view), L"");
    // A window of the host's own (a track list, say) has the keyboard.
    HWND hostControl = CreateWindowExW(0, L"STATIC", L"tracks", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20,
                                       parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetFocus(hostControl);
    ASSERT_EQ(GetFocus(), hostControl);
    // Idle ticks of the plug-in: each polls the web view.
    auto ticks = [&](int count)
    {
        for (int i = 0; i < count; ++i)
        {
            view.PollWebView();
            stand_in::Pump(20);
        }
    };
    ticks(1);

    // A click on a button.
    HWND browser = stand_in::Click();
    ASSERT_NE(browser, nullptr);
    ASSERT_EQ(GetFocus(), browser);
    ticks(3);
    EXPECT_EQ(GetFocus(), hostControl) << "a click that begins no edit gives the keys back";

    // A click into a text field: the page asks for the keys (tag 20, which
    // the plug-in turns into this call) within the click's first tick.
    ASSERT_EQ(stand_in::Click(), browser);
    ticks(1);
    view.FocusWebView();
    EXPECT_EQ(stand_in::Record().focusMoves, 1);
    ticks(5);
    EXPECT_EQ(GetFocus(), browser) << "the field being edited keeps the keys";
    // Another click in the page while editing (the field still edited).
    stand_in::Click();
    ticks(5);
    EXPECT_EQ(GetFocus(), browser);

    // Enter, Escape or blur: the page gives the keys up.
    view.ReleaseWebViewFocus();
    EXPECT_EQ(GetFocus(), hostControl);

    // The user went to another window of the host while the page had the
    // keys: giving them up leaves that window alone.
    view.FocusWebView();
    ASSERT_EQ(GetFocus(), browser);
    SetFocus(parent);
    view.ReleaseWebViewFocus();
    EXPECT_EQ(GetFocus(), parent);
    view.DetachWebViewBackend();
}

// Tab past the page's last element (Shift+Tab past its first) leaves the
// page: the keys go to the host's window, also from the middle of an edit,
// and the web view is told so (else its focus goes round the page again).
TEST_F(EditorWebView, TabbingOutOfThePageGivesTheKeysToTheHost)
{
    ShowWindow(parent, SW_SHOW);
    PageView view;
    ASSERT_EQ(OpenAndSettle(view), L"");
    HWND hostControl = CreateWindowExW(0, L"STATIC", L"tracks", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20,
                                       parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    auto ticks = [&](int count)
    {
        for (int i = 0; i < count; ++i)
        {
            view.PollWebView();
            stand_in::Pump(20);
        }
    };
    const struct
    {
        const char* what;
        int reason;
        bool editing;
    } cases[] = {
        {"Tab out of a text field", plugfw::wv2::kMoveFocusNext, true},
        {"Shift+Tab out of a text field", plugfw::wv2::kMoveFocusPrevious, true},
        {"Tab right after a click on a button", plugfw::wv2::kMoveFocusNext, false},
    };
    for (const auto& c : cases)
    {
        SetFocus(hostControl);
        ticks(1);
        HWND browser = stand_in::Click();
        if (c.editing)
            view.FocusWebView();
        ASSERT_EQ(GetFocus(), browser) << c.what;
        EXPECT_EQ(stand_in::TabOut(c.reason), 1) << c.what;
        EXPECT_EQ(GetFocus(), hostControl) << c.what;
        ticks(3);
        EXPECT_EQ(GetFocus(), hostControl) << c.what << ": nothing takes the keys back";
        // Clicked into a field again, the page has the keys again.
        stand_in::Click();
        view.FocusWebView();
        ticks(3);
        EXPECT_EQ(GetFocus(), browser) << c.what;
        view.ReleaseWebViewFocus();
    }
    view.DetachWebViewBackend();
    EXPECT_EQ(stand_in::TabOut(plugfw::wv2::kMoveFocusNext), -1) << "no editor left";
}

} // namespace
