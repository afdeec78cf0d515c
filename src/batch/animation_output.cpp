#include "batch/animation_output.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "batch/gif_frames.h"
#include "batch/turntable.h"
#include "batch/webp_frames.h"
#include "platform/posix/termination.h"
#include "platform/posix/whole_file_writer.h"
#include "platform/printable_text.h"

namespace batch {
namespace {

constexpr int kGifUnitsPerSecond = 100;    // GIF delays are in hundredths of a second
constexpr int kWebpUnitsPerSecond = 1000;  // WebP durations in milliseconds

}  // namespace

int FrameDuration(int index, double fps, int unitsPerSecond) {
  const double end = std::round((index + 1) * unitsPerSecond / fps), start = std::round(index * unitsPerSecond / fps);
  return std::max(1, static_cast<int>(end - start));
}

bool EncodeFrame(OutputFormat format, const Picture& picture, int index, double fps, std::string& frame,
                 std::string* error, GifQuantizer* gifPalette) {
  if (format == OutputFormat::Gif)
    return EncodeGifFrame(picture, FrameDuration(index, fps, kGifUnitsPerSecond), frame, error, gifPalette);
  return EncodeWebpFrame(picture, frame, error);
}

bool AssembleAnimation(OutputFormat format, const std::vector<std::string>& frames, PictureSize size, double fps,
                       std::string& file, std::string* error) {
  if (format == OutputFormat::Gif) {
    file = AssembleGif(frames, size.width, size.height, true);
    return true;
  }
  std::vector<int> durations(frames.size());
  for (size_t i = 0; i < frames.size(); ++i)
    durations[i] = FrameDuration(static_cast<int>(i), fps, kWebpUnitsPerSecond);
  return AssembleWebp(frames, durations, size.width, size.height, file, error);
}

bool WriteStill(const Picture& picture, const std::string& path, OutputFormat format,
                const std::vector<std::string>& inputs) {
  platform::posix::WholeFileOptions options;
  options.inputs = inputs;
  // The one output: a signal before it is in place leaves the old file and ends the run as interrupted.
  options.stopOnTermination = true;
  if (format == OutputFormat::Png) return WritePicture(picture, path, nullptr, options);
  std::string frame, file, error;
  bool ok;
  if (format == OutputFormat::Gif) {
    ok = EncodeGifFrame(picture, 0, frame, &error);
    if (ok) file = AssembleGif({frame}, picture.width, picture.height, false);
  } else {
    ok = EncodeWebpFrame(picture, file, &error);
  }
  ok = ok && platform::posix::WriteWholeFile(path, file, options, &error);
  if (!ok && !platform::posix::TerminationRequested())
    std::fprintf(stderr, "scatterview-render: %s\n", platform::PrintableText(error).c_str());
  return ok;
}

}  // namespace batch
