// LoadData: the scene's first frame puts it into the running state, builds the one-point vertex buffer
// that point drawing uses with HARD_TL on, and reads the whole data file into the three columns (a
// pipe or FIFO on a thread of its own, whose rows CollectPendingRows brings in when they are all read).
// Also the choice of reader by the kind of file, and the words for what a reading did not take.
#include "viewer/data_loader.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <utility>

#include "graphics/direct_graphics.h"
#include "platform/printable_text.h"
#include "platform/posix/termination.h"
#include "viewer/fast_data_reader.h"
#include "viewer/viewer_scene.h"

namespace viewer {
namespace {

constexpr int kWaitStepMs = 5;
constexpr char kStandardInput[] = "-";

// A descriptor of the data: the file opened without waiting for a FIFO's writer, or a copy of
// standard input's (closing it leaves standard input open). -1 when it does not open.
int OpenData(const std::string& path) {
  if (path == kStandardInput) return ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
  return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

bool StatusOf(const std::string& path, struct stat& info) {
  return path == kStandardInput ? ::fstat(STDIN_FILENO, &info) == 0 : ::stat(path.c_str(), &info) == 0;
}

// A row's text as it may stand in one line of a message: control characters escaped, and no UTF-8
// character cut in two where the text was shortened (that would show as U+FFFD).
std::string Printable(std::string text) {
  std::size_t lead = text.size();
  while (lead != 0 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80) --lead;
  if (lead != 0 && static_cast<unsigned char>(text[lead - 1]) >= 0xC0) {
    const unsigned char first = static_cast<unsigned char>(text[lead - 1]);
    const std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : 2;
    if (text.size() - (lead - 1) < length) text.resize(lead - 1);
  }
  return platform::PrintableText(text);
}

// "1 row", "2 rows".
std::string Count(std::size_t count, const char* thing) {
  return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

std::string SeparatorName(char separator) {
  switch (separator) {
    case '\t': return "tabs";
    case ' ': return "spaces";
    case ';': return "\";\", with decimal commas";
    default: return std::string("\"") + separator + "\"";
  }
}

// Terminals by their device numbers (the kernel's fixed assignments), since a device is not opened to
// ask: the virtual consoles and serial ports (4), /dev/tty, the console and the pseudo-terminal
// master (5), the old and new pseudo-terminals (3, 136-143), USB and other serial ports (166, 188, 204).
bool IsTerminalDevice(dev_t device) {
  const unsigned kind = major(device);
  return kind == 3 || kind == 4 || kind == 5 || (kind >= 136 && kind <= 143) || kind == 166 || kind == 188 ||
         kind == 204;
}

// Whether the plain file at `path` has the size it says: not an empty-looking file of /proc or /sys,
// whose contents are made as they are read (the reader of plain files goes by the size).
bool HasFixedSize(const std::string& path, const struct stat& info) {
  if (info.st_size != 0) return true;
  struct statfs system {};
  if (::statfs(path.c_str(), &system) != 0) return true;
  constexpr long kProc = 0x9fa0, kSysfs = 0x62656572;
  return system.f_type != kProc && system.f_type != kSysfs;
}

// What the file of `info` is when it is there but holds no rows to read as a file: a socket, a
// terminal, a file of no fixed size; else null.
const char* NoFileOfRows(const std::string& path, const struct stat& info) {
  if (S_ISSOCK(info.st_mode)) return "it is a socket, not a file of rows";
  if (S_ISCHR(info.st_mode) && IsTerminalDevice(info.st_rdev)) return "it is a terminal, not a file of rows";
  if (S_ISREG(info.st_mode) && !HasFixedSize(path, info))
    return "its size is not fixed (the kernel makes its contents up as it is read)";
  return nullptr;
}

}  // namespace

DataReadResult ReadDataFile(const std::string& path, std::size_t maxRows, DataColumns& out,
                            const ReadOptions& options, const StopRequest& stop) {
  const int fd = OpenData(path);
  if (fd < 0) return {};
  struct stat info {};
  DataReadResult result;
  const std::size_t before = out.x.size();
  if (::fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode)) {  // a folder counts as not found
    try {
      result = S_ISREG(info.st_mode) ? ReadDataFast(fd, maxRows, options, out, {}, stop)
                                     : ReferenceReadDescriptor(fd, maxRows, options, out, stop);
    } catch (const std::bad_alloc&) {  // the readers' own buffers could not be had
      KeepWholeRows(out, options.colourColumn > 0);
      result.end = DataReadEnd::OutOfMemory;
      result.rows = out.x.size() - before;
    }
  }
  ::close(fd);  // a failure to close changes nothing that was read
  return result;
}

bool CanReadDataFile(const std::string& path, std::string* why) {
  struct stat info {};
  const auto fail = [why](const char* reason) {
    if (why) *why = reason;
    return false;
  };
  if (!StatusOf(path, info)) return fail(std::strerror(errno));
  if (S_ISDIR(info.st_mode)) return fail("it is a folder");
  if (path == kStandardInput) return true;
  if (const char* kind = NoFileOfRows(path, info)) return fail(kind);
  // A FIFO is never opened to be looked at: its waiting writer would get in, and lose its rows (or
  // die of SIGPIPE) when the look ends. Nor is a device: opening one may do something.
  if (!S_ISREG(info.st_mode)) return ::access(path.c_str(), R_OK) == 0 || fail(std::strerror(errno));
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail(std::strerror(errno));
  ::close(fd);
  return true;
}

std::string WhyNoFileOfRows(const std::string& path) {
  struct stat info {};
  if (path == kStandardInput || !StatusOf(path, info)) return {};
  const char* kind = NoFileOfRows(path, info);
  return kind ? kind : "";
}

bool IsPlainFile(const std::string& path, off_t* bytes) {
  struct stat info {};
  if (!StatusOf(path, info) || !S_ISREG(info.st_mode)) return false;
  if (bytes) *bytes = info.st_size;
  return true;
}

// What of the file was passed over before its rows, and how its lines were split.
void DescribeShape(const DataShape& shape, std::size_t comments, const std::function<void(const std::string&)>& say) {
  if (shape.skippedLines != 0) {
    say(Count(shape.skippedLines, "line") + " before the first row of numbers skipped (the first: \"" +
        Printable(shape.firstSkipped.substr(0, 60)) + "\")");
  }
  if (!shape.header.empty()) {
    say("header row (" + Printable(shape.header.substr(0, 60)) + ") skipped" +
        (shape.rowNames ? ", its first column names the rows: columns " + std::to_string(shape.columns[0] + 1) +
                              ", " + std::to_string(shape.columns[1] + 1) + " and " +
                              std::to_string(shape.columns[2] + 1) + " are read"
                        : ""));
  }
  if (comments != 0) say(Count(comments, "comment line") + " (starting with #) skipped");
  if (shape.lineEnd == '\r') say("lines end with CR");
  if (shape.separatorGuessed) say("fields separated by " + SeparatorName(shape.separator));
}

std::string DescribeReading(std::string_view program, const std::string& path, const DataReadResult& result,
                            std::string_view limitName) {
  std::string said;
  const std::function<void(const std::string&)> say = [&said](const std::string& part) {
    said += (said.empty() ? "" : "; ") + part;
  };
  const DataShape& shape = result.shape;
  DescribeShape(shape, result.comments, say);
  if (result.unread.count != 0) {
    say(Count(result.unread.count, "row") + " could not be read as three numbers and " +
        (result.unread.count == 1 ? "was" : "were") + " left out (the first, row " +
        std::to_string(result.unread.first) + ": \"" + Printable(result.unread.text) + "\")");
  }
  if (result.end == DataReadEnd::RowLimit) {
    say(std::to_string(result.rows) + " rows read, the rest of the file was not (" + std::string(limitName) +
        " raises the limit)");
  } else if (result.end == DataReadEnd::OutOfMemory) {
    say(std::to_string(result.rows) + " rows read, then no more memory could be had; the rest of the file was not "
        "read");
  } else if (result.end == DataReadEnd::ReadError) {
    say(std::to_string(result.rows) + " rows read, then the reading broke off (" + std::strerror(result.error) +
        "); the rest of the file was not read");
  } else if (result.end == DataReadEnd::LongField) {
    // Field by field every pass is a row of the file, stored or left out.
    say("a field of 100 or more characters in row " +
        std::to_string(result.rows + result.unread.count + shape.RowsBefore()) +
        " ended the reading; the rest of the file was not read");
  }
  return said.empty() ? said : std::string(program) + ": " + platform::PrintableText(path) + ": " + said + "\n";
}

BackgroundDataRead::BackgroundDataRead(std::string path, std::size_t maxRows, const ReadOptions& options) {
  thread_ = std::thread([this, path = std::move(path), maxRows, options] {
    result_ = ReadDataFile(path, maxRows, rows_, options, [this] {
      return stop_.load(std::memory_order_relaxed) || platform::posix::TerminationRequested();
    });
    done_.store(true, std::memory_order_release);
  });
}

BackgroundDataRead::~BackgroundDataRead() {
  stop_.store(true, std::memory_order_relaxed);
  if (thread_.joinable()) thread_.join();
}

DataColumns BackgroundDataRead::Take() {
  if (!Done()) return {};
  return std::move(rows_);
}

bool BackgroundDataRead::WaitUnlessTerminated() {
  while (!Done()) {
    if (platform::posix::SleepUnlessTerminated(kWaitStepMs)) return Done();
  }
  return true;
}

}  // namespace viewer

namespace {

constexpr UINT kPointBufferBytes = 2 * sizeof(SceneVertex);  // 48
// A plain file up to this size is read within the frame whatever the row limit (about a tenth of a
// second at most); a larger one with a raised limit is read on the reading thread.
constexpr off_t kReadAtOnceBytes = 32 << 20;

}  // namespace

void ViewerScene::LoadData() {
  // Running from here on, before anything is read: the rest of this frame already draws.
  state = 1;
  targetFps = 60;

  if (g_graphics->config.HARD_TL != 0 && !vertexBuffer) {
    // Vertex 0, white at the origin, and vertex 1 at (1, 0, 0).
    pointVertices[0] = SceneVertex{0.0f, 0.0f, 0.0f, 0xFFFFFFFFu, 0.0f, 1.0f};
    pointVertices[1] = SceneVertex{1.0f, 0.0f, 0.0f, 0xFFFFFFFFu, 0.0f, 0.0f};
    IDirect3DVertexBuffer8* buffer = nullptr;
    if (SUCCEEDED(g_graphics->device->CreateVertexBuffer(kPointBufferBytes, 0, SCENE_VERTEX_FVF, D3DPOOL_MANAGED,
                                                         &buffer)) &&
        buffer) {
      BYTE* data = nullptr;
      if (SUCCEEDED(buffer->Lock(0, 0, &data, 0)) && data) {
        std::memcpy(data, pointVertices, kPointBufferBytes);
        buffer->Unlock();
        vertexBuffer = buffer;
      } else {
        // A buffer we cannot fill is not kept.
        buffer->Release();
      }
    }
  }

  ReadRows(false);
}

void ViewerScene::ReportReading(const viewer::DataReadResult& result) {
  lastReading = result;
  const std::string said = viewer::DescribeReading(program_invocation_short_name, loadedPath_, result, rowLimitName);
  if (!said.empty()) std::fputs(said.c_str(), stderr);
}

void ViewerScene::ReadRows(bool keepUnlessRead) {
  loadedPath_ = g_dataPath;
  seenDrops_ = g_dataDrops;
  keepUnlessRead_ = keepUnlessRead;
  pendingRows_.reset();
  // A plain file is read at once, as it always was, unless a raised row limit may make that take long:
  // then it is read like a pipe, so that Escape, the close button and the signals end the run at once.
  off_t bytes = 0;
  if (viewer::IsPlainFile(g_dataPath, &bytes) && (rowLimit <= viewer::kMaxDataRows || bytes <= kReadAtOnceBytes)) {
    viewer::DataColumns rows;
    const viewer::DataReadResult result =
        viewer::ReadDataFile(g_dataPath, rowLimit, rows, readOptions, &viewer::RunEnding);
    TakeRows(std::move(rows), result);
  } else {
    pendingRows_ = std::make_unique<viewer::BackgroundDataRead>(g_dataPath, rowLimit, readOptions);
  }
}

void ViewerScene::TakeRows(viewer::DataColumns rows, const viewer::DataReadResult& result) {
  ReportReading(result);
  // The last row read is never drawn: fewer than two rows draw nothing.
  if (rows.x.size() < 2) {
    // Unless the run's end stopped the reading: then nothing was left unsaid, the run is ending.
    if (result.end != viewer::DataReadEnd::Stopped)
      std::fprintf(stderr, "%s: %s: no rows to draw were read%s\n", program_invocation_short_name,
                   platform::PrintableText(loadedPath_).c_str(), keepUnlessRead_ ? "; the rows on screen stay" : "");
    if (keepUnlessRead_) return;
  }
  dataX = std::move(rows.x);
  dataY = std::move(rows.y);
  dataZ = std::move(rows.z);
  dataColour = std::move(rows.colour);
  colourRangeRows_ = SIZE_MAX;
  drawnBoxRows_ = SIZE_MAX;  // new rows: the fit, the colours and the row buffer are made again
  rowBuffer_.made = false;
}

bool ViewerScene::ReloadData() {
  std::string why;
  if (!viewer::CanReadDataFile(g_dataPath, &why)) {
    // Unlike at the start, a file that cannot be read now is no reason to stop: the rows stay.
    std::fprintf(stderr, "scatterview: %s cannot be read (%s); the rows on screen stay\n",
                 platform::PrintableText(g_dataPath).c_str(), why.c_str());
    loadedPath_ = g_dataPath;
    seenDrops_ = g_dataDrops;
    return false;
  }
  ReadRows(true);
  return true;
}

bool ViewerScene::CollectPendingRows() {
  if (!pendingRows_ || !pendingRows_->Done()) return false;
  const viewer::DataReadResult result = pendingRows_->Result();
  viewer::DataColumns rows = pendingRows_->Take();
  pendingRows_.reset();
  TakeRows(std::move(rows), result);
  return true;
}

bool ViewerScene::FinishLoading() {
  if (pendingRows_ && !pendingRows_->WaitUnlessTerminated()) return false;
  CollectPendingRows();
  return true;
}
