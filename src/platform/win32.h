// The Win32-like vocabulary the program is written in: value types, message and key codes, and the
// free functions (timeGetTime, GetAsyncKeyState, the window and message calls, message boxes).
// The functions forward to the installed platform::Backend (backend.h); nothing here includes SDL.
#pragma once

#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using LONG = int32_t;
using SHORT = int16_t;
using BOOL = int;
using HRESULT = int32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

namespace platform { struct WindowObject; struct InputContext; struct Brush; struct DroppedFiles; }
using HWND = platform::WindowObject*;  // opaque; null means "no window"
using HIMC = platform::InputContext*;
using HBRUSH = const platform::Brush*;  // a solid colour; null means "no brush"
using HDROP = platform::DroppedFiles*;  // the files of one drop, owned by the backend until DragFinish
using HINSTANCE = void*;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct RECT {
  LONG left, top, right, bottom;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// The fields of a window class this program uses. The background brush paints the client area
// wherever nothing else has been drawn; with none, nothing is painted there.
struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  const char* lpszClassName;
  HBRUSH hbrBackground = nullptr;
};

// Stock objects (GetStockObject): the solid brushes.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;

// Messages
constexpr UINT WM_DESTROY = 0x0002;
// A resizable window's client size changed: lParam = width | height << 16 (LOWORD, HIWORD), in
// picture pixels; wParam one of SIZE_*.
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_DROPFILES = 0x0233;  // wParam: the HDROP of the files dropped on the window

constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;

constexpr WPARAM WA_INACTIVE = 0;
constexpr WPARAM WA_ACTIVE = 1;
constexpr WPARAM WA_CLICKACTIVE = 2;

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT MB_OK = 0x0000;
constexpr int IDOK = 1;

// Window styles and metrics (values as on Windows)
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_THICKFRAME = 0x00040000;  // a window the user may resize (it then hears WM_SIZE)
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);
constexpr int SM_CXDLGFRAME = 7;
constexpr int SM_CYDLGFRAME = 8;
constexpr int SM_CYCAPTION = 4;

// Virtual-key codes. Letters and digits are their upper-case ASCII codes ('A' = 0x41, '0' = 0x30).
constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_PAUSE = 0x13;
constexpr int VK_CAPITAL = 0x14;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21;
constexpr int VK_NEXT = 0x22;
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_NUMPAD0 = 0x60;
constexpr int VK_NUMPAD1 = 0x61;
constexpr int VK_NUMPAD2 = 0x62;
constexpr int VK_NUMPAD3 = 0x63;
constexpr int VK_NUMPAD4 = 0x64;
constexpr int VK_NUMPAD5 = 0x65;
constexpr int VK_NUMPAD6 = 0x66;
constexpr int VK_NUMPAD7 = 0x67;
constexpr int VK_NUMPAD8 = 0x68;
constexpr int VK_NUMPAD9 = 0x69;
constexpr int VK_MULTIPLY = 0x6A;
constexpr int VK_ADD = 0x6B;
constexpr int VK_SUBTRACT = 0x6D;
constexpr int VK_DECIMAL = 0x6E;
constexpr int VK_DIVIDE = 0x6F;
constexpr int VK_F1 = 0x70;
constexpr int VK_F2 = 0x71;
constexpr int VK_F3 = 0x72;
constexpr int VK_F4 = 0x73;
constexpr int VK_F5 = 0x74;
constexpr int VK_F6 = 0x75;
constexpr int VK_F7 = 0x76;
constexpr int VK_F8 = 0x77;
constexpr int VK_F9 = 0x78;
constexpr int VK_F10 = 0x79;
constexpr int VK_F11 = 0x7A;
constexpr int VK_F12 = 0x7B;
constexpr int VK_OEM_PLUS = 0xBB;   // the '=' / '+' key of a US layout
constexpr int VK_OEM_MINUS = 0xBD;  // the '-' / '_' key

// Free functions of the Win32-like API (win32_api.cpp). The frame borders measure 0 here: the window
// manager draws them outside the window, so a window's size is its client size. CreateWindowExA makes
// the one main window; PeekMessageA always removes (PM_REMOVE or not) and ignores the filters;
// DefWindowProcA turns WM_CLOSE into WM_DESTROY. MessageBoxA always writes "caption: text" on stderr
// (control characters escaped: the caption is often a path), then shows a box, caption and text as they
// are, when a display exists. ImmAssociateContext has no input-method editor to detach: it returns null
// and changes nothing. GetStockObject gives the stock brushes only (NULL_BRUSH and anything else: null),
// already typed as brushes.
DWORD timeGetTime();
SHORT GetAsyncKeyState(int vk);
HBRUSH GetStockObject(int object);
BOOL RegisterClassA(const WNDCLASSA* wc);
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                     int width, int height, HWND parent, void* menu, HINSTANCE instance, void* param);
int GetSystemMetrics(int index);
BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
namespace platform {
// MessageBoxA whose stderr line ends with a short English gloss, "caption: text (gloss)", for readers
// of the log who do not read the program's own text; the box shows the text alone. A null or empty
// gloss gives MessageBoxA's line.
int MessageBoxWithGloss(HWND owner, const char* text, const char* caption, UINT type, const char* gloss);
}  // namespace platform
HIMC ImmAssociateContext(HWND window, HIMC context);
// A WM_DROPFILES message's files: DragQueryFileA(drop, 0xFFFFFFFF, …) counts them; with an index it
// copies that file's path into `file` (cut to size - 1 bytes) and gives its full length; a null
// `file` gives the length alone. DragFinish frees the drop. SetWindowTextA sets the title (UTF-8).
UINT DragQueryFileA(HDROP drop, UINT index, char* file, UINT size);
void DragFinish(HDROP drop);
BOOL SetWindowTextA(HWND window, const char* text);
