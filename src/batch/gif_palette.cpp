#include "batch/gif_palette.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

#include "viewer/scene_colours.h"

namespace batch {
namespace {

constexpr size_t kMaxColours = 256;
// The scene's own colours, kept exactly: the background, the origin point, the axes, the range box,
// and the text's white. They cover most of a picture, and a shade of them would show at once.
constexpr uint32_t kRgb = 0xFFFFFF;  // a GIF's colours have no alpha
constexpr uint32_t kSceneColours[] = {viewer::kBackgroundColour & kRgb, viewer::kOriginColour & kRgb,
                                      viewer::kAxesColour & kRgb, viewer::kBoxColour & kRgb,
                                      viewer::kWhiteColour & kRgb};

// The palette's colours in an open-addressed table four times its largest size, so probes stay short.
constexpr size_t kSlots = 1024;
size_t SlotOf(uint32_t colour) { return (colour * 2654435761u) >> 22; }

// The nearest-entry look-ups go by the top 6 bits of each channel: 64³ entries.
constexpr int kCacheBits = 6, kCacheShift = 8 - kCacheBits;
// Channel weights of the distance to an entry: the eye tells greens apart best, blues worst.
constexpr int kWeights[3] = {2, 4, 3};

int Channel(uint32_t colour, int channel) { return static_cast<int>(colour >> (16 - 8 * channel) & 0xFF); }

struct Counted {
  uint32_t colour;
  uint64_t count;
};

// Colours [begin, end) of the sorted list, and the channel over which they spread most.
struct Box {
  size_t begin, end;
  int widest = 0, range = -1;
};

Box Measure(const std::vector<Counted>& colours, size_t begin, size_t end) {
  int low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
  for (size_t i = begin; i < end; ++i) {
    for (int c = 0; c < 3; ++c) {
      low[c] = std::min(low[c], Channel(colours[i].colour, c));
      high[c] = std::max(high[c], Channel(colours[i].colour, c));
    }
  }
  Box box{begin, end};
  for (int c = 0; c < 3; ++c) {
    if (high[c] - low[c] > box.range) {
      box.range = high[c] - low[c];
      box.widest = c;
    }
  }
  return box;
}

// The box's colours split in two along its widest channel where half its pixels lie on each side
// (each side keeps at least one colour).
std::pair<Box, Box> Split(std::vector<Counted>& colours, const Box& box) {
  const auto first = colours.begin() + static_cast<std::ptrdiff_t>(box.begin);
  const auto last = colours.begin() + static_cast<std::ptrdiff_t>(box.end);
  // Ties by the colour itself, so the order (and the palette) never depends on the counts' hashing.
  std::sort(first, last, [c = box.widest](const Counted& a, const Counted& b) {
    const int x = Channel(a.colour, c), y = Channel(b.colour, c);
    return x != y ? x < y : a.colour < b.colour;
  });
  uint64_t total = 0, below = 0;
  for (size_t i = box.begin; i < box.end; ++i) total += colours[i].count;
  size_t at = box.begin;
  while (at + 1 < box.end && (below + colours[at].count) * 2 <= total) below += colours[at++].count;
  at = std::max(at, box.begin + 1);
  return {Measure(colours, box.begin, at), Measure(colours, at, box.end)};
}

// The mean colour of the box's pixels, each channel rounded.
uint32_t MeanColour(const std::vector<Counted>& colours, const Box& box) {
  uint64_t sums[3] = {0, 0, 0}, total = 0;
  for (size_t i = box.begin; i < box.end; ++i) {
    for (int c = 0; c < 3; ++c) sums[c] += colours[i].count * static_cast<uint64_t>(Channel(colours[i].colour, c));
    total += colours[i].count;
  }
  if (total == 0) return colours[box.begin].colour;
  uint32_t mean = 0;
  for (int c = 0; c < 3; ++c) mean = mean << 8 | static_cast<uint32_t>((sums[c] + total / 2) / total);
  return mean;
}

}  // namespace

void ColourCounts::Add(const Picture& picture) {
  // Runs of one colour are the rule (the background), so the map is touched once a run.
  for (int y = 0; y < picture.height; ++y) {
    const uint32_t* row = picture.pixels + static_cast<size_t>(y) * static_cast<size_t>(picture.pitch);
    for (int x = 0; x < picture.width;) {
      const uint32_t colour = row[x] & 0x00FFFFFFu;
      int end = x + 1;
      while (end < picture.width && (row[end] & 0x00FFFFFFu) == colour) ++end;
      counts_[colour] += static_cast<uint64_t>(end - x);
      x = end;
    }
  }
}

std::vector<uint32_t> MakeGifPalette(const ColourCounts& counts) {
  std::vector<uint32_t> palette;
  std::vector<Counted> others;
  for (uint32_t colour : kSceneColours)
    if (counts.Counts().count(colour)) palette.push_back(colour);
  for (const auto& [colour, count] : counts.Counts())
    if (std::find(std::begin(kSceneColours), std::end(kSceneColours), colour) == std::end(kSceneColours))
      others.push_back({colour, count});
  std::sort(others.begin(), others.end(), [](const Counted& a, const Counted& b) { return a.colour < b.colour; });
  const size_t room = kMaxColours - palette.size();
  if (others.size() <= room) {
    for (const Counted& c : others) palette.push_back(c.colour);
    return palette;
  }
  // Median cut: the box of the widest spread is split until the room is taken, so no colour lies far
  // from its entry whatever its count (a colour bar's rows hold few pixels each).
  std::vector<Box> boxes{Measure(others, 0, others.size())};
  while (boxes.size() < room) {
    const auto widest =
        std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) { return a.range < b.range; });
    if (widest->range <= 0) break;
    const auto [low, high] = Split(others, *widest);
    *widest = low;
    boxes.push_back(high);
  }
  for (const Box& box : boxes) palette.push_back(MeanColour(others, box));
  return palette;
}

GifQuantizer::GifQuantizer(std::vector<uint32_t> palette)
    : palette_(std::move(palette)),
      slotColour_(kSlots),
      slotIndex_(kSlots, -1),
      nearest_(size_t{1} << (3 * kCacheBits), -1) {
  for (size_t i = 0; i < palette_.size(); ++i) {
    size_t slot = SlotOf(palette_[i]);
    while (slotIndex_[slot] >= 0 && slotColour_[slot] != palette_[i]) slot = (slot + 1) % kSlots;
    if (slotIndex_[slot] >= 0) continue;  // the same colour twice: the first entry answers
    slotColour_[slot] = palette_[i];
    slotIndex_[slot] = static_cast<int16_t>(i);
  }
}

int GifQuantizer::ExactIndex(uint32_t colour) const {
  for (size_t slot = SlotOf(colour);; slot = (slot + 1) % kSlots) {
    if (slotIndex_[slot] < 0) return -1;
    if (slotColour_[slot] == colour) return slotIndex_[slot];
  }
}

uint8_t GifQuantizer::Nearest(int red, int green, int blue) {
  const size_t key = static_cast<size_t>((red >> kCacheShift) << (2 * kCacheBits) |
                                         (green >> kCacheShift) << kCacheBits | (blue >> kCacheShift));
  if (nearest_[key] >= 0) return static_cast<uint8_t>(nearest_[key]);
  // Measured from the middle of the cell, in half levels, so that the answer is the cell's alone.
  const int want[3] = {(red >> kCacheShift << kCacheShift) * 2 + (1 << kCacheShift) - 1,
                       (green >> kCacheShift << kCacheShift) * 2 + (1 << kCacheShift) - 1,
                       (blue >> kCacheShift << kCacheShift) * 2 + (1 << kCacheShift) - 1};
  int best = 0;
  long bestDistance = -1;
  for (size_t i = 0; i < palette_.size(); ++i) {
    long distance = 0;
    for (int c = 0; c < 3; ++c) {
      const long d = want[c] - 2 * Channel(palette_[i], c);
      distance += kWeights[c] * d * d;
    }
    if (bestDistance < 0 || distance < bestDistance) {
      bestDistance = distance;
      best = static_cast<int>(i);
    }
  }
  nearest_[key] = static_cast<int16_t>(best);
  return static_cast<uint8_t>(best);
}

void GifQuantizer::Index(const Picture& picture, uint8_t* indices) {
  // Errors in sixteenths, three channels a pixel, for this row and the next, with a pixel of margin
  // at each end so the neighbours of the edge pixels need no test.
  const size_t stride = 3 * (static_cast<size_t>(picture.width) + 2);
  std::vector<int32_t> errors(2 * stride, 0);
  int32_t* here = errors.data();
  int32_t* below = here + stride;
  for (int y = 0; y < picture.height; ++y) {
    const uint32_t* row = picture.pixels + static_cast<size_t>(y) * static_cast<size_t>(picture.pitch);
    uint8_t* out = indices + static_cast<size_t>(y) * static_cast<size_t>(picture.width);
    uint32_t lastColour = 0xFFFFFFFFu;  // no pixel has this value once alpha is masked off
    int lastExact = -1;
    for (int x = 0; x < picture.width; ++x) {
      const uint32_t colour = row[x] & 0x00FFFFFFu;
      if (colour != lastColour) {
        lastColour = colour;
        lastExact = ExactIndex(colour);
      }
      // A colour of the palette is written as it is, its whole run at once (the background's runs are
      // most of a picture); the error that reached it is dropped.
      if (lastExact >= 0) {
        int end = x + 1;
        while (end < picture.width && (row[end] & 0x00FFFFFFu) == colour) ++end;
        std::memset(out + x, lastExact, static_cast<size_t>(end - x));
        x = end - 1;
        continue;
      }
      int32_t* at = here + 3 * (static_cast<size_t>(x) + 1);
      int32_t* under = below + 3 * static_cast<size_t>(x);  // the pixel below-left, then below, below-right
      int want[3];
      for (int c = 0; c < 3; ++c) want[c] = std::clamp(Channel(colour, c) + at[c] / 16, 0, 255);
      const uint8_t index = Nearest(want[0], want[1], want[2]);
      out[x] = index;
      for (int c = 0; c < 3; ++c) {
        const int32_t error = want[c] - Channel(palette_[index], c);
        at[3 + c] += 7 * error;
        under[c] += 3 * error;
        under[3 + c] += 5 * error;
        under[6 + c] += error;
      }
    }
    std::swap(here, below);
    std::fill(below, below + stride, 0);
  }
}

}  // namespace batch
