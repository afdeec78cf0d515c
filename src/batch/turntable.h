// The pictures of a turntable: their names and angles, how they are shared out among worker
// processes, and what becomes of them: PNG files of their own, or the frames of one animated file.
// Paired with turntable.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch/render_options.h"
#include "batch/scene_renderer.h"
#include "render/png_file.h"

namespace batch {

// "spin.png" (or "spin"), picture 7 of 36 → "spin-007.png"; at least three digits, more when the
// count needs them.
std::string TurntableFileName(const std::string& output, int index, int count);

// THETA of picture `index` of `count`: picture 0 is the start itself, each next one 360 / count
// degrees further, kept within 0–360 as the viewer keeps a turning THETA.
double TurntableTheta(double start, int index, int count);

// Picture `index` is drawn by worker index % workers.
inline bool DrawnBy(int index, int worker, int workers) { return index % workers == worker; }

// What a turntable makes: `count` pictures from `output`, PNG files of their own or, for a GIF or WebP
// output, the frames of one animation at `fps`.
struct TurntablePlan {
  std::string output;
  int count = 0;
  OutputFormat format = OutputFormat::Png;
  double fps = kTurntableFps;
  // A GIF's one palette for its frames of more than 256 colours (WriteTurntable makes it from a
  // sample of the pictures before the workers start); empty: each such frame makes its own.
  std::vector<uint32_t> gifPalette = {};
};

// Draws and writes every picture; `jobs` worker processes (forked after the data is loaded, each
// with its own copy of the device) share them. An animation's frames are encoded by the worker that
// draws them and wait in the renderer's temporary folder until this process writes the file from
// them; a GIF's palette is made first, from the colours of a few of the pictures spread over the turn.
// True when everything was written; each failure is reported on stderr, and a worker that dies
// (killed, crashed) is named with the pictures it did not write. On SIGINT or SIGTERM every worker
// stops after the picture it is writing, and the animation, unless already in place, is not written
// (its old file stays).
bool WriteTurntable(SceneRenderer& renderer, const TurntablePlan& plan, int jobs);

// Draws picture(s) for `worker` of `workers` in this process; false after the first failure. Each
// picture written sets its flag in `written` (one a picture, when given).
bool WriteTurntableShare(SceneRenderer& renderer, const TurntablePlan& plan, int worker, int workers,
                         volatile uint8_t* written = nullptr);

// The output name that means standard output.
inline constexpr const char kStandardOutput[] = "-";

// Writes one picture to `path` (standard output for "-") as `options` say (never over one of their
// inputs); false, with the reason on stderr (none when a termination signal stopped it), when it
// cannot be written.
bool WritePicture(const Picture& picture, const std::string& path, render::PngEncoder* encoder = nullptr,
                  const platform::posix::WholeFileOptions& options = {});

}  // namespace batch
