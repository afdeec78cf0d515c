// The Win32-like free functions: each forwards to the installed backend, plus the little window-class
// and message bookkeeping that is the same for every backend.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>

#include "platform/backend.h"
#include "platform/printable_text.h"
#include "platform/win32.h"
#include "platform/window_object.h"

namespace platform {

namespace {
Backend* g_backend = nullptr;  // the one installed backend (see InstallBackend)
}

void InstallBackend(Backend* backend) { g_backend = backend; }

Backend& CurrentBackend() {
  if (!g_backend) {
    std::fputs("scatterview: internal error: a platform call came before a backend was installed\n", stderr);
    std::abort();
  }
  return *g_backend;
}

}  // namespace platform

using platform::CurrentBackend;

DWORD timeGetTime() { return CurrentBackend().Milliseconds(); }

SHORT GetAsyncKeyState(int vk) { return CurrentBackend().AsyncKeyState(vk); }

HBRUSH GetStockObject(int object) {
  // Fixed objects that outlive every window, as the system's stock objects do.
  static constexpr platform::Brush kStockBrushes[] = {{0xFFFFFF}, {0xC0C0C0}, {0x808080}, {0x404040}, {0x000000}};
  return object >= WHITE_BRUSH && object <= BLACK_BRUSH ? &kStockBrushes[object] : nullptr;
}

BOOL RegisterClassA(const WNDCLASSA* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) return 0;
  auto& classes = CurrentBackend().WindowClasses();
  if (classes.count(wc->lpszClassName)) return 0;  // already registered, as on Windows
  classes[wc->lpszClassName] = {wc->lpfnWndProc, wc->hbrBackground};
  return 1;
}

HWND CreateWindowExA(DWORD, const char* className, const char* title, DWORD style, int, int, int width,
                     int height, HWND, void*, HINSTANCE, void*) {
  auto& backend = CurrentBackend();
  auto found = className ? backend.WindowClasses().find(className) : backend.WindowClasses().end();
  if (found == backend.WindowClasses().end() || width <= 0 || height <= 0) return nullptr;
  // Every window is the visible, captioned main window; a thick frame makes it one the user may resize.
  const HBRUSH brush = found->second.background;
  HWND window = backend.CreateMainWindow(title ? title : "", width, height, false,
                                         brush ? std::optional<uint32_t>(brush->colour) : std::nullopt,
                                         (style & WS_THICKFRAME) != 0);
  if (window) window->procedure = found->second.procedure;
  return window;
}

int GetSystemMetrics(int) { return 0; }  // frames are outside the window: see win32.h

BOOL PeekMessageA(MSG* msg, HWND, UINT, UINT, UINT) {
  if (!msg) return 0;
  return CurrentBackend().NextMessage(*msg) ? 1 : 0;
}

BOOL TranslateMessage(const MSG*) { return 0; }  // no character messages are used

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg || !msg->hwnd || !msg->hwnd->procedure || msg->hwnd->destroyed) return 0;
  return msg->hwnd->procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
  if (message == WM_CLOSE && window && !window->destroyed) {
    // Closing destroys the window: its procedure hears WM_DESTROY once, then no more messages.
    window->destroyed = true;
    if (window->procedure) window->procedure(window, WM_DESTROY, 0, 0);
  }
  return 0;
}

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
  return platform::MessageBoxWithGloss(owner, text, caption, type, nullptr);
}

int platform::MessageBoxWithGloss(HWND owner, const char* text, const char* caption, UINT, const char* gloss) {
  std::string t = text ? text : "";
  std::string c = caption ? caption : "";
  // The caption is often the data path: on stderr it may not drive the terminal (the box shows it as it is).
  const std::string said = PrintableText(c) + ": " + PrintableText(t);
  if (gloss && *gloss) std::fprintf(stderr, "%s (%s)\n", said.c_str(), gloss);
  else std::fprintf(stderr, "%s\n", said.c_str());
  std::fflush(stderr);
  CurrentBackend().ShowMessageBox(owner, t, c);
  return IDOK;
}

HIMC ImmAssociateContext(HWND, HIMC) { return nullptr; }

UINT DragQueryFileA(HDROP drop, UINT index, char* file, UINT size) {
  if (!drop) return 0;
  if (index == 0xFFFFFFFFu) return static_cast<UINT>(drop->paths.size());
  if (index >= drop->paths.size()) return 0;
  const std::string& path = drop->paths[index];
  if (file && size > 0) {
    const size_t n = std::min<size_t>(path.size(), size - 1);
    std::memcpy(file, path.data(), n);
    file[n] = '\0';
  }
  return static_cast<UINT>(path.size());
}

void DragFinish(HDROP drop) {
  if (drop) drop->paths.clear();
}

BOOL SetWindowTextA(HWND window, const char* text) {
  if (!window || !text) return 0;
  return CurrentBackend().SetWindowTitle(window, text) ? 1 : 0;
}
