// SceneRenderer: the viewer's scene drawn on a device without a window. It sets up the graphics layer
// and the scene the way the viewer's start-up and first running frame do (the font texture, fog off,
// LoadData, the frame's render states and light, Draw) and hands out the back buffer. It reads
// config.ini and never writes it. Paired with scene_renderer.cpp.
//
//   platform::ScopedNullBackend headless;   // the process's backend: no display, nothing presented
//   batch::SceneRenderer renderer;
//   if (!renderer.Open(options, &error)) ...
//   batch::Picture picture = renderer.Render(renderer.StartTheta());
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "batch/render_options.h"

class ViewerScene;

namespace batch {

struct DisplayKeys;  // the start-up keys that decide the picture (scene_renderer.cpp)

// The picture as the viewer presents it: the top-left 640 × 480 of the back buffer (less when the
// configured size is smaller), or with --size the whole back buffer. Points into the device's back
// buffer; valid until the next Render.
struct Picture {
  const uint32_t* pixels = nullptr;
  int width = 0, height = 0;
  int pitch = 0;  // pixels from one row to the next
};

class SceneRenderer {
 public:
  SceneRenderer();
  ~SceneRenderer();  // the scene's device resources, the graphics layer, then the settings copy
  SceneRenderer(const SceneRenderer&) = delete;
  SceneRenderer& operator=(const SceneRenderer&) = delete;

  // Reads the config file and the data file and sets up the device. False, with `error` set, when the
  // data file or an explicitly named config file does not open, the graphics set-up fails, or the
  // font texture is missing.
  bool Open(const RenderOptions& options, std::string* error);

  // The files this run reads (data, config, font): no picture may be written over them.
  const std::vector<std::string>& InputFiles() const { return inputs_; }

  // The run's private folder (removed with the renderer): a turntable's frames wait there for the
  // animation they make.
  const std::string& TemporaryFolder() const { return settingsFolder_; }

  // The size of every picture Render hands out.
  PictureSize Size() const;

  // THETA after the config file and the overrides.
  double StartTheta() const;
  // Draws the scene with THETA `theta` (everything else as opened).
  Picture Render(double theta);

 private:
  // The device and the font for the picture the options and keys ask; false, with `error`, when not.
  bool OpenGraphics(const RenderOptions& options, const DisplayKeys& keys, std::string* error);

  std::string settingsFolder_;  // the private copy of the config file the scene reads and saves into
  std::unique_ptr<ViewerScene> scene_;
  bool graphicsOwned_ = false;
  bool wholeBackBuffer_ = false;
  std::vector<std::string> inputs_;
};

}  // namespace batch
