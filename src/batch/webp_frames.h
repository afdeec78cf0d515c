// WebP animations through libwebp, lossless, made of frames encoded on their own as the GIF ones are:
// each frame a still lossless WebP that libwebpmux puts into the animation unchanged.
// Paired with webp_frames.cpp.
#pragma once

#include <string>
#include <vector>

#include "batch/scene_renderer.h"

namespace batch {

// The picture as a still lossless WebP file (the alpha channel ignored: every pixel opaque). False,
// with `error`, when libwebp fails.
bool EncodeWebpFrame(const Picture& picture, std::string& frame, std::string* error);

// The animation of `frames` (stills of `width` × `height`), each shown for its entry of `durationsMs`,
// looping endlessly. False, with `error`, when libwebpmux refuses a frame.
bool AssembleWebp(const std::vector<std::string>& frames, const std::vector<int>& durationsMs, int width, int height,
                  std::string& file, std::string* error);

}  // namespace batch
