// GIF animations through giflib, made of frames encoded on their own: each turntable worker encodes
// the frames it draws, and the file is put together from them in order afterwards. A frame keeps its
// own colour table: the picture's exact colours when it holds at most 256 (the scene's pictures
// usually do), else a palette made from the colours (gif_palette.h): the animation's one palette,
// so its frames do not flicker, or a still's own. Paired with gif_frames.cpp.
#pragma once

#include <string>
#include <vector>

#include "batch/scene_renderer.h"

namespace batch {

class GifQuantizer;

// The frame's bytes as they stand in the file: its graphic control block (`delayCentiseconds`,
// no transparency), image descriptor, colour table and image data. A picture of more than 256 colours
// is put on `shared`'s palette, or without one on a palette of its own colours. False, with `error`,
// when giflib fails.
bool EncodeGifFrame(const Picture& picture, int delayCentiseconds, std::string& frame, std::string* error,
                    GifQuantizer* shared = nullptr);

// The whole file: header, screen of `width` × `height`, the loop block (endless) when `loop`, the
// frames, the trailer.
std::string AssembleGif(const std::vector<std::string>& frames, int width, int height, bool loop);

}  // namespace batch
