#pragma once
#include "foundation/KZ_EventListener.h"

class UILook;
class UILayout;
class UILayoutCell;

// Base of every visible element: one native "KZWindow" window, a place in the toolkit's window
// tree (which mirrors the native tree), a name that is one component of catalog keys, an
// optional layout cell and layout, and a background.
//
// Lifetime: the native window holds the object's one reference. The object is deleted when its
// native window is gone (WM_NCDESTROY, see KZ_UIWindow.cpp); children are linked, not owned.
class KZ_UIWindow : public KZ_EventListener {
public:
    // The native style of the toolkit's child windows.
    static constexpr DWORD kChildWindowStyle =
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

    // owner is the native parent only when parent is null.
    KZ_UIWindow(KZ_UIWindow* parent, const WString& name, unsigned int styleFlags, HWND owner,
                DWORD windowStyle, DWORD extendedStyle);
    ~KZ_UIWindow() override;

    bool IsKindOf(const char* className) const override;
    using KZ_EventListener::GetMessage;
    WString GetMessage(const WString& key, const WStringArray& parameters) override;

    // width is in (the width to fill) and out; height is out.
    virtual void GetPreferredSize(int* width, int* height);
    // The parent's look; the top-level window's is the default look.
    virtual UILook* GetLook();
    // Plain windows keep no look of their own: a popup stores one for everything inside it.
    virtual void SetLook(UILook* look);
    virtual int CanFocus();
    virtual void Focus();
    virtual void Paint(HDC dc, const RECT& area);
    virtual void OnSize(int width, int height);
    virtual int OnCommand(int notificationCode, int controlId);
    virtual void OnClose();
    virtual void OnDestroy();
    virtual void Invalidate();
    // WM_QUERYENDSESSION: false keeps the session (log-off, restart) from ending now.
    virtual bool CanEndSession();
    // WM_ACTIVATE, active when the window is activated and not minimised. Non-zero when the
    // window placed the keyboard focus itself.
    virtual int OnActivate(bool active);
    // Non-zero for a button marked default: what FindDefaultButton looks for.
    virtual int IsDefaultButton();
    // The letter the window's caption marks after "&" when Alt + that letter may press it now
    // (visible and enabled), else 0.
    virtual wchar_t GetAccessKey();

    // Ends an object that its creator holds (the top-level window at exit): destroys the native
    // window, whose destruction deletes the object; without one, deletes it directly.
    void Release();

    void Show(bool show);
    // Position in the parent's client coordinates; then runs the layout, if any.
    void Move(int x, int y, int width, int height);
    void GetClientSize(int* width, int* height) const;

    // 0 inherits; otherwise a brush handle or a system colour index + 1.
    void SetBackground(HBRUSH background);
    HBRUSH GetBackground() const;
    HBRUSH GetOwnBackground() const { return background_; }

    void SetLayoutCell(UILayoutCell* cell);
    UILayoutCell* GetLayoutCell() const { return cell_; }
    void SetLayout(UILayout* layout);
    UILayout* GetLayout() const { return layout_; }

    // One component of the catalog keys; also the native window's text when it is created.
    const WString& GetName() const { return name_; }
    HWND GetWindow() const { return window_; }
    unsigned int GetStyleFlags() const { return styleFlags_; }

    KZ_UIWindow* GetParent() const { return parent_; }
    KZ_UIWindow* GetFirstChild() const { return firstChild_; }
    KZ_UIWindow* GetLastChild() const { return lastChild_; }
    KZ_UIWindow* GetNextSibling() const { return nextSibling_; }
    KZ_UIWindow* GetPreviousSibling() const { return previousSibling_; }

    // The owner-draw record while a WM_DRAWITEM is handled, else null.
    const DRAWITEMSTRUCT* GetDrawItem() const { return drawItem_; }

    // Pre-order search of this window and its descendants for a button marked default.
    KZ_UIWindow* FindDefaultButton();
    // The object of the first "KZWindow" window on the way from window through its parents.
    static KZ_UIWindow* FindWindowObject(HWND window);

    // The system folder dialog owned by this window. 0 with the chosen path, or E_FAIL with "".
    HRESULT BrowseForFolder(WString* path);

    // Common-controls 6.0 activation context of the executable's manifest: native windows,
    // controls and window-class libraries are created inside it. Both calls are no-ops when the
    // executable has no manifest. Deactivate takes what Activate returned.
    static ULONG_PTR ActivateControlsContext();
    static void DeactivateControlsContext(ULONG_PTR cookie);
    // Loads a system library that registers window classes (the rich edit library) inside the
    // context, from the system folder only.
    static HMODULE LoadWindowLibrary(const wchar_t* name);

    // The controls context, active while the object lives.
    class ControlsContextScope {
    public:
        ControlsContextScope() : cookie_(ActivateControlsContext()) {}
        ~ControlsContextScope() { DeactivateControlsContext(cookie_); }
        ControlsContextScope(const ControlsContextScope&) = delete;
        ControlsContextScope& operator=(const ControlsContextScope&) = delete;

    private:
        ULONG_PTR cookie_;
    };

protected:
    // Creates a native child of this window's native window inside the controls context.
    HWND CreateNativeChild(const wchar_t* className, const WString& text, DWORD style,
                           DWORD extendedStyle);

private:
    KZ_UIWindow(const KZ_UIWindow&) = delete;
    KZ_UIWindow& operator=(const KZ_UIWindow&) = delete;

    static ATOM RegisterWindowClass();
    static void StartCommonControls();
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void DropReference();

    unsigned int styleFlags_;
    int references_;
    HBRUSH background_;
    UILayoutCell* cell_;
    UILayout* layout_;
    WString name_;
    HWND window_;
    // The native window whose user data points here: unlike window_ it stays set from WM_DESTROY
    // to WM_NCDESTROY, while the native tree is being torn down.
    HWND attached_;
    const DRAWITEMSTRUCT* drawItem_;
    KZ_UIWindow* parent_;
    KZ_UIWindow* nextSibling_;
    KZ_UIWindow* previousSibling_;
    KZ_UIWindow* lastChild_;
    KZ_UIWindow* firstChild_;
};
