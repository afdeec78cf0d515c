#include "batch/turntable.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <vector>

#include "batch/animation_output.h"
#include "batch/gif_palette.h"
#include "platform/posix/termination.h"
#include "platform/printable_text.h"
#include "platform/posix/whole_file_writer.h"

namespace batch {

namespace {

constexpr int kWaitStepMs = 10;
// The pictures of a GIF turntable whose colours make its palette, spread evenly over the turn: the
// rows keep their colours as the view turns, so a few pictures show nearly all of them.
constexpr int kPaletteSample = 8;

// Where frame `index` of an animation waits for the others.
std::string FramePath(const SceneRenderer& renderer, int index) {
  return renderer.TemporaryFolder() + "/frame-" + std::to_string(index);
}

// How a picture of the turntable is named to the user: its file, or its frame of the animation.
std::string PictureName(const TurntablePlan& plan, int index) {
  if (plan.format == OutputFormat::Png) return TurntableFileName(plan.output, index, plan.count);
  return "frame " + std::to_string(index) + " of " + plan.output;
}

// Encodes the picture as frame `index` and leaves it in the temporary folder: a plain write, as
// nothing else ever reads the folder and it goes with the run.
bool KeepFrame(const SceneRenderer& renderer, const TurntablePlan& plan, const Picture& picture, int index,
               GifQuantizer* gifPalette) {
  std::string frame, error;
  bool ok = EncodeFrame(plan.format, picture, index, plan.fps, frame, &error, gifPalette);
  if (ok) {
    const std::string path = FramePath(renderer, index);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ok = out && std::fwrite(frame.data(), 1, frame.size(), out) == frame.size();
    ok = out && std::fclose(out) == 0 && ok;
    if (!ok) error = "cannot keep it in " + renderer.TemporaryFolder() + ": " + std::strerror(errno);
  }
  if (!ok) {
    std::fprintf(stderr, "scatterview-render: %s: %s\n", platform::PrintableText(PictureName(plan, index)).c_str(),
                 platform::PrintableText(error).c_str());
  }
  return ok;
}

// The GIF's one palette, from the colours of the sampled pictures.
std::vector<uint32_t> SampledGifPalette(SceneRenderer& renderer, const TurntablePlan& plan) {
  const double start = renderer.StartTheta();
  const int samples = std::min(plan.count, kPaletteSample);
  ColourCounts counts;
  // Picture 0 last: it leaves THETA where the view started, where the workers start from.
  for (int k = samples - 1; k >= 0 && !platform::posix::TerminationRequested(); --k)
    counts.Add(renderer.Render(TurntableTheta(start, k * plan.count / samples, plan.count)));
  return MakeGifPalette(counts);
}

// The animation from the frames the workers left, in order.
bool WriteAnimation(const SceneRenderer& renderer, const TurntablePlan& plan) {
  std::vector<std::string> frames(static_cast<size_t>(plan.count));
  std::string file, error;
  bool ok = true;
  for (int i = 0; ok && i < plan.count; ++i) {
    std::FILE* in = std::fopen(FramePath(renderer, i).c_str(), "rb");
    ok = in != nullptr;
    char buffer[65536];
    for (size_t n; ok && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
      frames[static_cast<size_t>(i)].append(buffer, n);
    if (in) ok = !std::ferror(in) && std::fclose(in) == 0;
    if (!ok) error = "cannot read back " + PictureName(plan, i) + " from " + renderer.TemporaryFolder();
  }
  platform::posix::WholeFileOptions options;
  options.inputs = renderer.InputFiles();
  // One file made of them all: a signal before it is in place leaves the old one, not a mix.
  options.stopOnTermination = true;
  ok = ok && !platform::posix::TerminationRequested() &&
       AssembleAnimation(plan.format, frames, renderer.Size(), plan.fps, file, &error) &&
       platform::posix::WriteWholeFile(plan.output, file, options, &error);
  if (!ok && !platform::posix::TerminationRequested())
    std::fprintf(stderr, "scatterview-render: %s\n", platform::PrintableText(error).c_str());
  return ok;
}

}  // namespace

std::string TurntableFileName(const std::string& output, int index, int count) {
  std::string stem = output;
  if (stem.size() >= 4) {
    std::string suffix = stem.substr(stem.size() - 4);
    std::transform(suffix.begin(), suffix.end(), suffix.begin(), [](unsigned char c) { return std::tolower(c); });
    if (suffix == ".png") stem.resize(stem.size() - 4);
  }
  const int digits = std::max(3, static_cast<int>(std::to_string(std::max(count - 1, 0)).size()));
  std::string number = std::to_string(index);
  if (static_cast<int>(number.size()) < digits) number.insert(0, digits - number.size(), '0');
  return stem + "-" + number + ".png";
}

double TurntableTheta(double start, int index, int count) {
  if (index == 0) return start;
  double theta = std::fmod(start + index * (360.0 / count), 360.0);
  if (theta < 0.0) theta += 360.0;
  return theta;
}

bool WritePicture(const Picture& picture, const std::string& path, render::PngEncoder* encoder,
                  const platform::posix::WholeFileOptions& options) {
  std::string error;
  bool ok;
  if (path == kStandardOutput) {
    render::PngEncoder own;
    std::vector<uint8_t> bytes;
    ok = (encoder ? *encoder : own).Encode(picture.pixels, picture.width, picture.height, picture.pitch, bytes);
    if (!ok) error = "cannot encode the picture as PNG";
    ok = ok && platform::posix::WriteToDescriptor(
                   STDOUT_FILENO, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                   "standard output", &error);
  } else {
    ok = render::WritePngFile(path, picture.pixels, picture.width, picture.height, picture.pitch, &error, encoder,
                              options);
  }
  if (!ok && !platform::posix::TerminationRequested())
    std::fprintf(stderr, "scatterview-render: %s\n", platform::PrintableText(error).c_str());
  return ok;
}

bool WriteTurntableShare(SceneRenderer& renderer, const TurntablePlan& plan, int worker, int workers,
                         volatile uint8_t* written) {
  const double start = renderer.StartTheta();
  render::PngEncoder encoder;
  platform::posix::WholeFileOptions options;
  options.inputs = renderer.InputFiles();
  std::unique_ptr<GifQuantizer> gifPalette;
  if (!plan.gifPalette.empty()) gifPalette = std::make_unique<GifQuantizer>(plan.gifPalette);
  for (int i = 0; i < plan.count; ++i) {
    if (!DrawnBy(i, worker, workers)) continue;
    // A picture under way is finished (or its temporary file removed); the next one is not begun.
    if (platform::posix::TerminationRequested()) return false;
    const Picture picture = renderer.Render(TurntableTheta(start, i, plan.count));
    // A signal during the drawing may have cut it short: that picture is not written.
    if (platform::posix::TerminationRequested()) return false;
    const bool ok = plan.format == OutputFormat::Png
                        ? WritePicture(picture, TurntableFileName(plan.output, i, plan.count), &encoder, options)
                        : KeepFrame(renderer, plan, picture, i, gifPalette.get());
    if (!ok) return false;
    if (written) written[i] = 1;
  }
  return true;
}

namespace {

// One flag a picture, shared with the forked workers: which pictures were written, whoever wrote them.
class WrittenFlags {
 public:
  explicit WrittenFlags(int count) : size_(static_cast<size_t>(count)) {
    void* p = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    flags_ = p == MAP_FAILED ? nullptr : static_cast<uint8_t*>(p);
  }
  ~WrittenFlags() {
    if (flags_) munmap(flags_, size_);
  }
  WrittenFlags(const WrittenFlags&) = delete;
  WrittenFlags& operator=(const WrittenFlags&) = delete;
  uint8_t* Get() const { return flags_; }

 private:
  size_t size_;
  uint8_t* flags_;
};

// Whether the picture at `path` was put in place at or after `start` (CLOCK_REALTIME_COARSE, the clock
// file times are taken from): a worker killed between putting a picture in place and flagging it
// still wrote it, while a picture of an earlier run is older.
bool PutInPlaceSince(const std::string& path, const timespec& start) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  return st.st_mtim.tv_sec > start.tv_sec || (st.st_mtim.tv_sec == start.tv_sec && st.st_mtim.tv_nsec >= start.tv_nsec);
}

// A worker that ended without doing its share, named with the pictures it left unwritten.
void ReportLostWorker(int worker, int workers, pid_t pid, int status, const TurntablePlan& plan,
                      const uint8_t* written, const timespec& start) {
  // Appended piece by piece: GCC 12 warns falsely (-Wstringop-overflow) about chains of operator+.
  std::string line = "scatterview-render: turntable worker ";
  line += std::to_string(worker + 1);
  line += " of ";
  line += std::to_string(workers);
  line += " (process ";
  line += std::to_string(pid);
  line += ") ";
  if (WIFSIGNALED(status)) {
    line += "was killed by signal ";
    line += std::to_string(WTERMSIG(status));
    line += " (";
    line += strsignal(WTERMSIG(status));
    line += ")";
  } else {
    line += "failed (status ";
    line += std::to_string(WEXITSTATUS(status));
    line += ")";
  }
  int missing = 0;
  for (int i = 0; i < plan.count; ++i) {
    if (!DrawnBy(i, worker, workers) || (written && written[i])) continue;
    if (plan.format == OutputFormat::Png && PutInPlaceSince(TurntableFileName(plan.output, i, plan.count), start))
      continue;
    line += missing++ ? ", " : "; not written: ";
    line += PictureName(plan, i);
  }
  if (missing == 0) line += "; its pictures were all written";
  line = platform::PrintableText(line);  // the pictures are named by the output path
  line += "\n";
  std::fputs(line.c_str(), stderr);
}

// WriteTurntableShare, with a picture too large for the memory left told as a failure of the share:
// the parent still waits for its workers, and a worker still ends through _exit.
bool WriteShareWithinMemory(SceneRenderer& renderer, const TurntablePlan& plan, int worker, int workers,
                            uint8_t* written) {
  try {
    return WriteTurntableShare(renderer, plan, worker, workers, written);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "scatterview-render: out of memory\n");
    return false;
  }
}

// A forked worker's whole life: its share of the pictures, then its end, status 0 when every one of
// them was written.
[[noreturn]] void RunForkedWorker(SceneRenderer& renderer, const TurntablePlan& plan, int worker, int workers,
                                  pid_t parent, uint8_t* written) {
  // A worker stops with the parent, however the parent ends (the signal only asks it to stop).
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) _exit(1);
  const bool done = WriteShareWithinMemory(renderer, plan, worker, workers, written);
  std::fflush(nullptr);
  // No destructors, no atexit handlers: the parent owns every shared resource.
  _exit(done ? 0 : 1);
}

}  // namespace

bool WriteTurntable(SceneRenderer& renderer, const TurntablePlan& asked, int jobs) {
  TurntablePlan plan = asked;
  // Drawn before the workers fork, so each has the palette; an empty one when interrupted meanwhile.
  if (plan.format == OutputFormat::Gif && plan.gifPalette.empty()) plan.gifPalette = SampledGifPalette(renderer, plan);
  const int workers = std::clamp(jobs, 1, plan.count);
  // Without the shared flags a lost worker's pictures are all named as unwritten.
  const WrittenFlags written(plan.count);
  timespec start{};
  clock_gettime(CLOCK_REALTIME_COARSE, &start);
  std::fflush(nullptr);  // nothing buffered is written twice by the children
  struct Child {
    int worker;
    pid_t pid;
  };
  std::vector<Child> children;
  bool ok = true;
  // Workers 1.. are children; this process is worker 0. A fork that fails leaves its share to us.
  std::vector<int> ownShares{0};
  const pid_t parent = getpid();
  for (int worker = 1; worker < workers; ++worker) {
    pid_t pid = fork();
    if (pid == 0) RunForkedWorker(renderer, plan, worker, workers, parent, written.Get());
    if (pid < 0) {
      ownShares.push_back(worker);
    } else {
      children.push_back({worker, pid});
    }
  }
  for (int worker : ownShares) ok = WriteShareWithinMemory(renderer, plan, worker, workers, written.Get()) && ok;
  // Waits in short steps so that a signal to this process alone still reaches every worker.
  bool forwarded = false;
  for (const Child& child : children) {
    int status = 0;
    bool known = true;
    for (;;) {
      const pid_t done = waitpid(child.pid, &status, WNOHANG);
      if (done == child.pid) break;
      if (done < 0 && errno != EINTR) {
        known = false;
        break;
      }
      if (platform::posix::SleepUnlessTerminated(kWaitStepMs) && !forwarded) {
        for (const Child& other : children) kill(other.pid, SIGTERM);
        forwarded = true;
      }
    }
    if (known && WIFEXITED(status) && WEXITSTATUS(status) == 0) continue;
    ok = false;
    // A worker stopped by the end of the run said nothing wrong; one that died or failed on its own is named.
    const bool stoppedOnRequest = known && WIFEXITED(status) && platform::posix::TerminationRequested();
    if (known && !stoppedOnRequest)
      ReportLostWorker(child.worker, workers, child.pid, status, plan, written.Get(), start);
  }
  if (!ok || plan.format == OutputFormat::Png) return ok;
  return !platform::posix::TerminationRequested() && WriteAnimation(renderer, plan);
}

}  // namespace batch
