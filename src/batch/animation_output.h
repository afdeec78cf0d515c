// The output formats beside PNG: a turntable's frames made into one animated GIF or WebP file, and a
// single picture as a GIF or WebP still. The frames are encoded where they are drawn (any worker) and
// put together in order at the end. Paired with animation_output.cpp.
#pragma once

#include <string>
#include <vector>

#include "batch/render_options.h"
#include "batch/scene_renderer.h"

namespace batch {

// How long frame `index` of an animation at `fps` frames a second shows, in units of
// 1 / `unitsPerSecond` seconds (at least one): each frame ends at the unit nearest to its exact end, so
// a long animation keeps its pace (at 30 frames a second GIF's hundredths go 3, 4, 3, 3, 4, 3, ...).
int FrameDuration(int index, double fps, int unitsPerSecond);

class GifQuantizer;

// Frame `index` of an animation in `format` (GIF or WebP) at `fps`; a GIF frame of more than 256
// colours on `gifPalette`'s palette, the animation's one.
bool EncodeFrame(OutputFormat format, const Picture& picture, int index, double fps, std::string& frame,
                 std::string* error, GifQuantizer* gifPalette = nullptr);

// The looping animation of `frames`, in order, each `size` pixels.
bool AssembleAnimation(OutputFormat format, const std::vector<std::string>& frames, PictureSize size, double fps,
                       std::string& file, std::string* error);

// One picture in `format`: PNG (to standard output for "-"), or a GIF or WebP still; written as
// WritePicture writes, never over one of `inputs`. False, with the reason on stderr, when it cannot be.
bool WriteStill(const Picture& picture, const std::string& path, OutputFormat format,
                const std::vector<std::string>& inputs);

}  // namespace batch
