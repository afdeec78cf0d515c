#include "app/main_window_proc.h"

#include "app/globals.h"
#include "app/layer_seams.h"
#include "app/screenshot.h"
#include "platform/printable_text.h"

#include <cstdio>
#include <string>

#include "viewer/data_loader.h"

namespace app {

void ApplyActivation(WPARAM wParam, uint8_t* windowActive) {
  if (!windowActive) return;
  switch (wParam & 0xFFFF) {
    case WA_INACTIVE: *windowActive = 0; break;
    case WA_ACTIVE:
    case WA_CLICKACTIVE: *windowActive = 1; break;
    default: break;
  }
}

}  // namespace app

LRESULT MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      g_quit = 1;
      return 1;
    case WM_ACTIVATE:
      app::ApplyActivation(wParam, app::InputWindowActiveFlag());
      break;
    case WM_SIZE:
      // A resized window (RESIZABLE): the graphics layer takes the new client size at the next frame.
      // A minimised window keeps the picture it had.
      if (wParam != SIZE_MINIMIZED) app::RecordWindowSize(lParam & 0xFFFF, (lParam >> 16) & 0xFFFF);
      return 0;
    case WM_DROPFILES: {
      // The first file dropped becomes the data file: the title says so, and the scene reads it at
      // its next frame, even when it is the file on screen (NAME in config.ini is not changed). A file
      // that cannot be read changes nothing: the title and the rows stay.
      const HDROP drop = reinterpret_cast<HDROP>(wParam);
      const UINT length = DragQueryFileA(drop, 0, nullptr, 0);
      if (length > 0) {
        std::string path(length, '\0');
        DragQueryFileA(drop, 0, path.data(), length + 1);
        std::string why;
        if (viewer::CanReadDataFile(path, &why)) {
          g_dataPath = path;
          ++g_dataDrops;
          SetWindowTextA(window, path.c_str());
        } else {
          std::fprintf(stderr, "scatterview: %s cannot be read (%s); the rows on screen stay\n",
                       platform::PrintableText(path).c_str(), why.c_str());
        }
      }
      DragFinish(drop);
      return 0;
    }
    case WM_KEYDOWN:
      // F12 saves the picture; a key held down repeats (bit 30 of lParam set) and saves nothing more.
      if (wParam == VK_F12 && (lParam & (LPARAM{1} << 30)) == 0) app::TakeScreenshot();
      // Whatever the key: Escape held (or pressed since it was last asked about) ends the run.
      if (GetAsyncKeyState(VK_ESCAPE) != 0) g_quit = 1;
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
