#include "file_drop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace e2e {

namespace {

constexpr long kProtocolVersion = 5;

struct Atoms {
  Atom enter, position, drop, finished, selection, copy, uriList;
  explicit Atoms(Display* d)
      : enter(XInternAtom(d, "XdndEnter", False)),
        position(XInternAtom(d, "XdndPosition", False)),
        drop(XInternAtom(d, "XdndDrop", False)),
        finished(XInternAtom(d, "XdndFinished", False)),
        selection(XInternAtom(d, "XdndSelection", False)),
        copy(XInternAtom(d, "XdndActionCopy", False)),
        uriList(XInternAtom(d, "text/uri-list", False)) {}
};

void Send(Display* d, Window target, Atom type, long l0, long l1, long l2, long l3, long l4) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.display = d;
  event.xclient.window = target;
  event.xclient.message_type = type;
  event.xclient.format = 32;
  long* l = event.xclient.data.l;
  l[0] = l0, l[1] = l1, l[2] = l2, l[3] = l3, l[4] = l4;
  XSendEvent(d, target, False, NoEventMask, &event);
  XFlush(d);
}

// Hands the URI list to whoever asks for the drag's selection.
void Answer(Display* d, const XSelectionRequestEvent& request, const Atoms& atoms, const std::string& uris) {
  XEvent reply{};
  reply.xselection.type = SelectionNotify;
  reply.xselection.display = d;
  reply.xselection.requestor = request.requestor;
  reply.xselection.selection = request.selection;
  reply.xselection.target = request.target;
  reply.xselection.time = request.time;
  reply.xselection.property = None;
  if (request.target == atoms.uriList && request.property != None) {
    XChangeProperty(d, request.requestor, request.property, request.target, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(uris.data()), static_cast<int>(uris.size()));
    reply.xselection.property = request.property;
  }
  XSendEvent(d, request.requestor, False, NoEventMask, &reply);
  XFlush(d);
}

}  // namespace

bool DropFileOnWindow(const std::string& display, const std::string& windowId, const std::string& path) {
  Display* d = XOpenDisplay(display.c_str());
  if (!d) return false;
  const Window target = std::strtoul(windowId.c_str(), nullptr, 10);
  const Window root = DefaultRootWindow(d);
  const Window source = XCreateSimpleWindow(d, root, 0, 0, 1, 1, 0, 0, 0);
  const Atoms atoms(d);
  XSetSelectionOwner(d, atoms.selection, source, CurrentTime);

  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(d, target, root, 20, 20, &x, &y, &child);
  Send(d, target, atoms.enter, static_cast<long>(source), kProtocolVersion << 24,
       static_cast<long>(atoms.uriList), 0, 0);
  Send(d, target, atoms.position, static_cast<long>(source), 0, (static_cast<long>(x) << 16) | y, CurrentTime,
       static_cast<long>(atoms.copy));
  Send(d, target, atoms.drop, static_cast<long>(source), 0, CurrentTime, 0, 0);

  const std::string uris = "file://" + path + "\r\n";
  bool finished = false;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!finished && std::chrono::steady_clock::now() < until) {
    if (XPending(d) == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    XEvent event;
    XNextEvent(d, &event);
    if (event.type == SelectionRequest) Answer(d, event.xselectionrequest, atoms, uris);
    if (event.type == ClientMessage && event.xclient.message_type == atoms.finished) finished = true;
  }
  XDestroyWindow(d, source);
  XCloseDisplay(d);
  return finished;
}

}  // namespace e2e
