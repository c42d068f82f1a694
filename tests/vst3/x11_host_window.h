// A host's editor window on a real X display, for the tests and benchmarks
// that open the editor end to end: create, map, resize, and read back what
// the display shows in it; a user's clicks and keys through the XTest
// extension, and the keys that reach the window. Xlib and XTest are loaded
// at run time, so that programs using this need no X11 library where they
// are skipped.
#pragma once

#include <X11/Xlib.h>

#include <dlfcn.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace ostrel::test
{

class X11HostWindow
{
public:
    X11HostWindow() = default;
    ~X11HostWindow()
    {
        if (mDisplay != nullptr)
        {
            if (mWindow != 0)
                mDestroyWindow(mDisplay, mWindow);
            mCloseDisplay(mDisplay);
        }
        if (mXTest != nullptr)
            dlclose(mXTest);
    }
    X11HostWindow(const X11HostWindow&) = delete;
    X11HostWindow& operator=(const X11HostWindow&) = delete;

    // Opens the display and a mapped top-level window at (x, y) with the
    // given background (0xRRGGBB on a true-colour display); false without
    // them. What is read back must lie on the screen and under no other
    // window: tests that run at the same time keep to their own places.
    bool Open(int x, int y, unsigned width, unsigned height, unsigned long background)
    {
        mLibrary = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
        if (mLibrary == nullptr || !Load())
            return false;
        // Tests running at the same time share the server; give it a moment
        // if it is between clients.
        for (int attempt = 0; attempt < 40 && mDisplay == nullptr; ++attempt)
        {
            if (attempt > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            mDisplay = mOpenDisplay(nullptr);
        }
        if (mDisplay == nullptr)
            return false;
        mWindow = mCreateSimpleWindow(mDisplay, mDefaultRootWindow(mDisplay), x, y, width, height,
                                      0, 0, background);
        mMapWindow(mDisplay, mWindow);
        mSync(mDisplay, 0);
        return true;
    }

    Window Id() const { return mWindow; }

    // A user at the keyboard and mouse, as a host's window sees one: the
    // window has the keyboard focus (as a window manager gives it to the
    // active window) and takes key events. False without XTest.
    bool StartUserInput(int x, int y)
    {
        mX = x;
        mY = y;
        mXTest = dlopen("libXtst.so.6", RTLD_NOW | RTLD_LOCAL);
        if (mXTest == nullptr || !GetFrom(mXTest, mFakeMotion, "XTestFakeMotionEvent") ||
            !GetFrom(mXTest, mFakeButton, "XTestFakeButtonEvent") ||
            !GetFrom(mXTest, mFakeKey, "XTestFakeKeyEvent"))
            return false;
        mSelectInput(mDisplay, mWindow, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
        mSetInputFocus(mDisplay, mWindow, RevertToParent, CurrentTime);
        mSync(mDisplay, 0);
        return true;
    }

    // A left click at (x, y) in the window.
    void Click(int x, int y)
    {
        mFakeMotion(mDisplay, -1, mX + x, mY + y, 0);
        mFakeButton(mDisplay, 1, 1, 0);
        mFakeButton(mDisplay, 1, 0, 0);
        mSync(mDisplay, 0);
    }

    // Presses and releases the key of an X key symbol (XK_space, XK_Return...).
    void Key(unsigned long keysym)
    {
        const unsigned code = mKeysymToKeycode(mDisplay, keysym);
        mFakeKey(mDisplay, code, 1, 0);
        mFakeKey(mDisplay, code, 0, 0);
        mSync(mDisplay, 0);
    }

    // Key presses of that symbol that reached this window since the last call.
    int KeyPressesSeen(unsigned long keysym)
    {
        const unsigned code = mKeysymToKeycode(mDisplay, keysym);
        XEvent e;
        while (mCheckWindowEvent(mDisplay, mWindow, KeyPressMask | KeyReleaseMask, &e) != 0)
            if (e.type == KeyPress && e.xkey.keycode == code)
                ++mPresses;
        const int seen = mPresses;
        mPresses = 0;
        return seen;
    }

    void Resize(unsigned width, unsigned height)
    {
        mResizeWindow(mDisplay, mWindow, width, height);
        mSync(mDisplay, 0);
    }

    // Whether a child of the window (the editor's own window) is viewable.
    bool ChildShown()
    {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (mQueryTree(mDisplay, mWindow, &root, &parent, &children, &count) == 0)
            return false;
        bool shown = false;
        for (unsigned i = 0; i < count; ++i)
        {
            XWindowAttributes a;
            if (mGetWindowAttributes(mDisplay, children[i], &a) != 0 && a.map_state == IsViewable)
                shown = true;
        }
        if (children != nullptr)
            mFree(children);
        return shown;
    }

    // What the display shows in the window, as 0xRRGGBB per pixel, row by
    // row; empty if it cannot be read.
    std::vector<uint32_t> Pixels(unsigned& width, unsigned& height)
    {
        XWindowAttributes a;
        if (mGetWindowAttributes(mDisplay, mWindow, &a) == 0)
            return {};
        width = static_cast<unsigned>(a.width);
        height = static_cast<unsigned>(a.height);
        XImage* image = mGetImage(mDisplay, mWindow, 0, 0, width, height, AllPlanes, ZPixmap);
        if (image == nullptr)
            return {};
        std::vector<uint32_t> out;
        out.reserve(static_cast<size_t>(width) * height);
        for (unsigned y = 0; y < height; ++y)
            for (unsigned x = 0; x < width; ++x)
            {
                const unsigned long p =
                    image->f.get_pixel(image, static_cast<int>(x), static_cast<int>(y));
                out.push_back(static_cast<uint32_t>(
                    (((p & image->red_mask) * 255 / image->red_mask) << 16) |
                    (((p & image->green_mask) * 255 / image->green_mask) << 8) |
                    ((p & image->blue_mask) * 255 / image->blue_mask)));
            }
        image->f.destroy_image(image);
        return out;
    }

private:
    bool Load()
    {
        return Get(mOpenDisplay, "XOpenDisplay") && Get(mCloseDisplay, "XCloseDisplay") &&
               Get(mDefaultRootWindow, "XDefaultRootWindow") &&
               Get(mCreateSimpleWindow, "XCreateSimpleWindow") && Get(mMapWindow, "XMapWindow") &&
               Get(mResizeWindow, "XResizeWindow") && Get(mDestroyWindow, "XDestroyWindow") &&
               Get(mSync, "XSync") && Get(mQueryTree, "XQueryTree") && Get(mFree, "XFree") &&
               Get(mGetWindowAttributes, "XGetWindowAttributes") && Get(mGetImage, "XGetImage") &&
               Get(mSelectInput, "XSelectInput") && Get(mSetInputFocus, "XSetInputFocus") &&
               Get(mKeysymToKeycode, "XKeysymToKeycode") &&
               Get(mCheckWindowEvent, "XCheckWindowEvent");
    }
    template <typename F> bool Get(F& f, const char* name) { return GetFrom(mLibrary, f, name); }
    template <typename F> static bool GetFrom(void* library, F& f, const char* name)
    {
        f = reinterpret_cast<F>(dlsym(library, name));
        return f != nullptr;
    }

    void* mLibrary = nullptr;
    void* mXTest = nullptr;
    int mX = 0;
    int mY = 0;
    int mPresses = 0;
    Display* mDisplay = nullptr;
    Window mWindow = 0;

    Display* (*mOpenDisplay)(const char*) = nullptr;
    int (*mCloseDisplay)(Display*) = nullptr;
    Window (*mDefaultRootWindow)(Display*) = nullptr;
    Window (*mCreateSimpleWindow)(Display*, Window, int, int, unsigned, unsigned, unsigned,
                                  unsigned long, unsigned long) = nullptr;
    int (*mMapWindow)(Display*, Window) = nullptr;
    int (*mResizeWindow)(Display*, Window, unsigned, unsigned) = nullptr;
    int (*mDestroyWindow)(Display*, Window) = nullptr;
    int (*mSync)(Display*, int) = nullptr;
    Status (*mQueryTree)(Display*, Window, Window*, Window*, Window**, unsigned*) = nullptr;
    int (*mFree)(void*) = nullptr;
    Status (*mGetWindowAttributes)(Display*, Window, XWindowAttributes*) = nullptr;
    XImage* (*mGetImage)(Display*, Drawable, int, int, unsigned, unsigned, unsigned long,
                         int) = nullptr;
    int (*mSelectInput)(Display*, Window, long) = nullptr;
    int (*mSetInputFocus)(Display*, Window, int, Time) = nullptr;
    KeyCode (*mKeysymToKeycode)(Display*, KeySym) = nullptr;
    Bool (*mCheckWindowEvent)(Display*, Window, long, XEvent*) = nullptr;
    int (*mFakeMotion)(Display*, int, int, int, unsigned long) = nullptr;
    int (*mFakeButton)(Display*, unsigned, Bool, unsigned long) = nullptr;
    int (*mFakeKey)(Display*, unsigned, Bool, unsigned long) = nullptr;
};

} // namespace ostrel::test
