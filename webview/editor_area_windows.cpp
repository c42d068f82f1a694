#include "webview/editor_area_windows.h"

#include <deque>

namespace plugfw
{

namespace
{

constexpr wchar_t kAreaClass[] = L"OstrelEditorArea";
constexpr UINT kRunPosted = WM_APP + 1;

// Registered by this load of the module.
bool gAreaClassRegistered = false;

struct AreaState
{
    std::deque<std::function<void()>> posted;
};

HINSTANCE ThisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

void Paint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT area;
    GetClientRect(window, &area);
    FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOW));
    const int length = GetWindowTextLengthW(window);
    if (length > 0)
    {
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
        InflateRect(&area, -24, -24);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
                  DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, old);
    }
    EndPaint(window, &paint);
}

LRESULT CALLBACK AreaProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_NCCREATE:
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new AreaState));
        break;
    case WM_NCDESTROY:
        delete reinterpret_cast<AreaState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
    case kRunPosted:
        if (auto* state = reinterpret_cast<AreaState*>(GetWindowLongPtrW(window, GWLP_USERDATA)))
        {
            // One item per message: work that destroys the window ends it.
            if (state->posted.empty())
                return 0;
            auto work = std::move(state->posted.front());
            state->posted.pop_front();
            work();
        }
        return 0;
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterAreaClass()
{
    if (gAreaClassRegistered)
        return true;
    const HINSTANCE instance = ThisModule();
    // A class of this name under our handle that this load did not register:
    // a module image at the same address before us left it. Its procedure
    // may be code that is gone, so it is replaced, never trusted (and the
    // last-error value of a failed registration is never asked).
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, kAreaClass, &existing) != 0)
    {
        if (existing.lpfnWndProc == AreaProc)
            return gAreaClassRegistered = true;
        if (!UnregisterClassW(kAreaClass, instance))
            return false;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = AreaProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = kAreaClass;
    return gAreaClassRegistered = RegisterClassExW(&windowClass) != 0;
}

} // namespace

HWND CreateEditorArea(HWND parent, int width, int height)
{
    if (!RegisterAreaClass())
        return nullptr;
    return CreateWindowExW(0, kAreaClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, width,
                           height, parent, nullptr, ThisModule(), nullptr);
}

void ShowEditorAreaText(HWND area, const std::wstring& text)
{
    SetWindowTextW(area, text.c_str());
    InvalidateRect(area, nullptr, TRUE);
}

bool PostToEditorArea(HWND area, std::function<void()> work)
{
    auto* state = reinterpret_cast<AreaState*>(GetWindowLongPtrW(area, GWLP_USERDATA));
    if (state == nullptr)
        return false;
    state->posted.push_back(std::move(work));
    if (PostMessageW(area, kRunPosted, 0, 0))
        return true;
    state->posted.pop_back();
    return false;
}

void UnregisterEditorAreaClass()
{
    // Fails while an area still exists; the class then stays (and so must
    // the module, which a host that left an editor open keeps anyway).
    if (gAreaClassRegistered && UnregisterClassW(kAreaClass, ThisModule()))
        gAreaClassRegistered = false;
}

} // namespace plugfw
