#include "screen_modes.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <memory>

namespace e2e {
namespace {

struct DisplayCloser {
  void operator()(::Display* d) const { XCloseDisplay(d); }
};
struct ResourcesFree {
  void operator()(XRRScreenResources* r) const { XRRFreeScreenResources(r); }
};
struct CrtcFree {
  void operator()(XRRCrtcInfo* c) const { XRRFreeCrtcInfo(c); }
};

}  // namespace

bool AddSixtyHertzMode(const std::string& display, int width, int height, bool show) {
  std::unique_ptr<::Display, DisplayCloser> d(XOpenDisplay(display.c_str()));
  if (!d) return false;
  const ::Window root = DefaultRootWindow(d.get());
  std::unique_ptr<XRRScreenResources, ResourcesFree> resources(XRRGetScreenResources(d.get(), root));
  if (!resources || resources->noutput < 1 || resources->ncrtc < 1) return false;
  // Some blanking around the picture; the pixel clock makes the whole frame come 60 times a second.
  XRRModeInfo mode{};
  std::string name = std::to_string(width) + "x" + std::to_string(height) + "_60";
  mode.width = static_cast<unsigned>(width);
  mode.height = static_cast<unsigned>(height);
  mode.hSyncStart = mode.width + 48;
  mode.hSyncEnd = mode.width + 80;
  mode.hTotal = mode.width + 160;
  mode.vSyncStart = mode.height + 3;
  mode.vSyncEnd = mode.height + 8;
  mode.vTotal = mode.height + 30;
  mode.dotClock = static_cast<unsigned long>(mode.hTotal) * mode.vTotal * 60;
  mode.name = name.data();
  mode.nameLength = static_cast<unsigned>(name.size());
  const RRMode id = XRRCreateMode(d.get(), root, &mode);
  if (id == 0) return false;
  RROutput output = resources->outputs[0];
  XRRAddOutputMode(d.get(), output, id);
  if (show && XRRSetCrtcConfig(d.get(), resources.get(), resources->crtcs[0], CurrentTime, 0, 0, id, RR_Rotate_0,
                               &output, 1) != RRSetConfigSuccess)
    return false;
  XSync(d.get(), False);
  return true;
}

ShownSize ShownMode(const std::string& display) {
  std::unique_ptr<::Display, DisplayCloser> d(XOpenDisplay(display.c_str()));
  if (!d) return {};
  std::unique_ptr<XRRScreenResources, ResourcesFree> resources(
      XRRGetScreenResourcesCurrent(d.get(), DefaultRootWindow(d.get())));
  if (!resources || resources->ncrtc < 1) return {};
  std::unique_ptr<XRRCrtcInfo, CrtcFree> crtc(XRRGetCrtcInfo(d.get(), resources.get(), resources->crtcs[0]));
  if (!crtc) return {};
  return {static_cast<int>(crtc->width), static_cast<int>(crtc->height)};
}

}  // namespace e2e
