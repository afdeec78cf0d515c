// GIF animations through giflib, made of frames encoded on their own: each turntable worker encodes
// the frames it draws, and the file is put together from them in order afterwards. A frame keeps its
// own colour table: the picture's exact colours when it holds at most 256 (the scene's pictures
// usually do), else a fixed table of the scene's own colours and an even 6 × 7 × 6 spread.
// Paired with gif_frames.cpp.
#pragma once

#include <string>
#include <vector>

#include "batch/scene_renderer.h"

namespace batch {

// The frame's bytes as they stand in the file: its graphic control block (`delayCentiseconds`,
// no transparency), image descriptor, colour table and image data. False, with `error`, when giflib
// fails.
bool EncodeGifFrame(const Picture& picture, int delayCentiseconds, std::string& frame, std::string* error);

// The whole file: header, screen of `width` × `height`, the loop block (endless) when `loop`, the
// frames, the trailer.
std::string AssembleGif(const std::vector<std::string>& frames, int width, int height, bool loop);

// The fixed table's colour nearest to `colour` (0x00RRGGBB), as a frame of more than 256 colours shows it.
uint32_t FixedGifColour(uint32_t colour);

}  // namespace batch
