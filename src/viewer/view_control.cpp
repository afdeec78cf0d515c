// UpdateControl: one frame of user input into the view settings. The order of the steps matters: the
// resets come after the mouse steps (so Z while dragging ends at the reset values), and the radius
// floor comes last.
#include <algorithm>
#include <iterator>

#include "input/input_manager.h"
#include "viewer/viewer_scene.h"

namespace {

// The function keys are read through the key state directly, not through the input layer, so they
// are not subject to its window-active gate.
constexpr int kFunctionKeys[] = {VK_F1, VK_F2, VK_F3, VK_F4, VK_F5, VK_F6, VK_F7, VK_F8};

int32_t Toggled(int32_t value) { return value == 0 ? 1 : 0; }

// F6 steps through off, fitted and each axis fitted.
int32_t NextFitMode(int32_t mode) { return mode == 0 ? 1 : mode == 1 ? 2 : 0; }

// Mouse counts to degrees or units: eight counts a step, truncated toward zero (C++ integer division).
int32_t Steps(int16_t counts) { return counts / 8; }

// Integer settings come from the file unchecked: adding to one at the edge of the range wraps around
// instead of overflowing.
void Add(int32_t& field, int32_t amount) {
  field = static_cast<int32_t>(static_cast<uint32_t>(field) + static_cast<uint32_t>(amount));
}

}  // namespace

void ViewerScene::StepPointSize() {
  // A step a press (the keyboard's repeats too), not a step a frame: each query takes the key's
  // remembered press. Both keys are asked every frame, so a press is never kept for later.
  const bool down = (GetAsyncKeyState(VK_OEM_MINUS) & 1) | (GetAsyncKeyState(VK_SUBTRACT) & 1);
  const bool up = (GetAsyncKeyState(VK_OEM_PLUS) & 1) | (GetAsyncKeyState(VK_ADD) & 1);
  const int32_t size = std::clamp(pointSize - down + up, 1, viewer::kMostPointSize);
  if (size == pointSize) return;
  pointSize = size;
  runOnly_.pointSize = false;
}

void ViewerScene::UpdateSwitches() {
  // One shared latch: at most one mode changes per frame, and none again until every function key has
  // been seen up.
  int32_t* const fields[] = {&showHint, &lineMode, &autoAnime, &showFps,
                             &showAxis, &fitMode,  &colourByHeight, &showRanges};
  // A setting the user changes is the user's again, to be saved, even where the command line set it.
  bool* const runOnly[] = {nullptr, &runOnly_.lineMode, nullptr, nullptr, nullptr, &runOnly_.fitMode,
                           &runOnly_.colourByHeight, &runOnly_.showRanges};
  static_assert(sizeof fields / sizeof *fields == std::size(kFunctionKeys) &&
                sizeof runOnly / sizeof *runOnly == std::size(kFunctionKeys));
  for (size_t i = 0; i < std::size(kFunctionKeys); ++i) {
    if (GetAsyncKeyState(kFunctionKeys[i]) != 0 && hotkeyLatch == 0) {
      hotkeyLatch = 1;
      *fields[i] = kFunctionKeys[i] == VK_F6 ? NextFitMode(*fields[i]) : Toggled(*fields[i]);
      if (runOnly[i]) *runOnly[i] = false;
    }
  }
  // F9 reads the data file again; it shares the latch with the switches.
  if (GetAsyncKeyState(VK_F9) != 0 && hotkeyLatch == 0) {
    hotkeyLatch = 1;
    ReloadData();
  }
  // The second round of queries stops at the first key still reading as pressed.
  bool anyDown = false;
  for (int vk : kFunctionKeys) {
    if (GetAsyncKeyState(vk) != 0) {
      anyDown = true;
      break;
    }
  }
  if (!anyDown) anyDown = GetAsyncKeyState(VK_F9) != 0;
  if (!anyDown) hotkeyLatch = 0;
}

void ViewerScene::UpdateControl() {
  UpdateSwitches();
  StepPointSize();
  UpdatePointer();
  // A free pointer moves over the picture, not the camera: its movement and its button are not the view's.
  const bool camera = !pointer_.free;

  if (autoAnime != 0) cameraTheta -= 1.0;
  if (camera) cameraTheta += Steps(g_input->GetMouseAxis(MOUSE_DX));
  // One step each way: exactly 0 and exactly 360 stay.
  if (cameraTheta < 0.0) cameraTheta += 360.0;
  if (cameraTheta > 360.0) cameraTheta -= 360.0;

  const int32_t vertical = camera ? Steps(g_input->GetMouseAxis(MOUSE_DY)) : 0;
  if (g_input->GetMouseAxis(MOUSE_BUTTON_0) != 0) {
    cameraR += vertical;
  } else {
    Add(cameraZ, vertical);
  }

  Add(axisY, -g_input->IsButtonDown(BUTTON_UP, 0));
  Add(axisY, g_input->IsButtonDown(BUTTON_DOWN, 0));
  Add(axisX, g_input->IsButtonDown(BUTTON_LEFT, 0));
  Add(axisX, -g_input->IsButtonDown(BUTTON_RIGHT, 0));

  if (g_input->IsButtonDown(BUTTON_1, 0) == 1) {
    cameraZ = 150;
    cameraY = 30;
    cameraTheta = 45.0;
    cameraR = 250.0;
  }
  if (g_input->IsButtonDown(BUTTON_2, 0) == 1) {
    axisX = 0;
    axisY = 0;
  }

  if (cameraR < 1.0) cameraR = 1.0;
}
