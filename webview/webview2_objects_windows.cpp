#include "webview/webview2_objects_windows.h"

#include <cstring>

namespace plugfw::wv2
{

HRESULT EnvironmentOptions::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_EnvironmentOptions))
        *object = static_cast<ICoreWebView2EnvironmentOptions*>(this);
    else if (IsEqualGUID(iid, IID_EnvironmentOptions2))
        *object = static_cast<ICoreWebView2EnvironmentOptions2*>(this);
    else if (IsEqualGUID(iid, IID_EnvironmentOptions3))
        *object = static_cast<ICoreWebView2EnvironmentOptions3*>(this);
    else
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT EnvironmentOptions::Get(const std::wstring& text, LPWSTR* value)
{
    if (value == nullptr)
        return E_POINTER;
    *value = nullptr;
    if (text.empty())
        return S_OK;
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    *value = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (*value == nullptr)
        return E_OUTOFMEMORY;
    std::memcpy(*value, text.c_str(), bytes);
    return S_OK;
}

HRESULT EnvironmentOptions::Get(BOOL stored, BOOL* value)
{
    if (value == nullptr)
        return E_POINTER;
    *value = stored;
    return S_OK;
}

HRESULT EnvironmentOptions::Put(std::wstring& text, LPCWSTR value)
{
    text = value ? value : L"";
    return S_OK;
}

} // namespace plugfw::wv2
