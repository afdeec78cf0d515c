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

namespace platform { struct WindowObject; struct InputContext; }
using HWND = platform::WindowObject*;  // opaque; null means "no window"
using HIMC = platform::InputContext*;
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

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  const char* lpszClassName;
};

// Messages
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;

constexpr WPARAM WA_INACTIVE = 0;
constexpr WPARAM WA_ACTIVE = 1;
constexpr WPARAM WA_CLICKACTIVE = 2;

constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT MB_OK = 0x0000;

// Window styles and metrics (values as on Windows)
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);
constexpr int SM_CXDLGFRAME = 7;
constexpr int SM_CYDLGFRAME = 8;
constexpr int SM_CYCAPTION = 4;

// Virtual-key codes
constexpr int VK_RETURN = 0x0D;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_NUMPAD0 = 0x60;
constexpr int VK_NUMPAD2 = 0x62;
constexpr int VK_NUMPAD4 = 0x64;
constexpr int VK_NUMPAD6 = 0x66;
constexpr int VK_NUMPAD8 = 0x68;
constexpr int VK_F1 = 0x70;
constexpr int VK_F2 = 0x71;
constexpr int VK_F3 = 0x72;
constexpr int VK_F4 = 0x73;
constexpr int VK_F5 = 0x74;
constexpr int VK_F12 = 0x7B;

// Free functions of the Win32-like API (win32_api.cpp).
DWORD timeGetTime();
SHORT GetAsyncKeyState(int vk);
BOOL RegisterClassA(const WNDCLASSA* wc);
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                     int width, int height, HWND parent, void* menu, HINSTANCE instance, void* param);
int GetSystemMetrics(int index);
BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
HIMC ImmAssociateContext(HWND window, HIMC context);
