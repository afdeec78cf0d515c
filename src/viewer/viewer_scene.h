// ViewerScene: the scatter-plot scene and the one thing the main loop runs. Its operations live in one
// file per concern: viewer_settings.cpp (config.ini keys), data_loader.cpp (LoadData), view_control.cpp
// (UpdateControl), scene_drawing.cpp (Draw), frame_driver.cpp (Start, RunFrame), bitmap_text.cpp
// (DrawLargeText, DrawSmallText), window_picture.cpp (a resizable window's picture). The one scene of
// the program is g_scene (scene_instance.cpp).
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "graphics/vertex_types.h"
#include "viewer/data_format.h"
#include "viewer/data_fit.h"
#include "viewer/range_labels.h"
#include "viewer/row_pick.h"
#include "viewer/view_options.h"
#include "render/d3d8.h"
#include "render/d3dx8.h"

namespace viewer {
class BackgroundDataRead;
}
namespace platform {
class Worker;
}

class ViewerScene {
 public:
  // Reads the view keys of the program's config.ini (see settings_path.h); creates nothing until the
  // save at destruction, so a run that only answers --help leaves no file behind.
  ViewerScene();
  // Reads (and at destruction writes) the view keys of the config file at `configPath` instead.
  explicit ViewerScene(std::string configPath);
  // Saves the settings (SaveSettings), then frees the data lists.
  virtual ~ViewerScene();
  ViewerScene(const ViewerScene&) = delete;
  ViewerScene& operator=(const ViewerScene&) = delete;

  // --- settings (viewer_settings.cpp)
  void LoadSettings();
  // Writes the ten view keys (and FIT, COLORMAP, RANGES and POINTSIZE where they belong in the file) in
  // one atomic replace of the config file; a failure is said on stderr, once.
  void SaveSettings();
  // Releases the scene's vertex buffer. The entry point calls it while the graphics layer still
  // exists, before deleting it; the settings save at process end then finds no buffer.
  void ReleaseDeviceResources();
  const std::string& ConfigPath() const { return configPath_; }

  // --- data (data_loader.cpp): state 1, targetFps 60, the one-point buffer, then the rows of g_dataPath.
  // A data file that is no plain file (a pipe, a FIFO) is read on a thread of its own instead; its
  // rows join the columns, all at once, at the first frame after the reading ends.
  void LoadData();
  // Reads g_dataPath again (F9, or a new path from a file dropped on the window), keeping the view.
  // A file that cannot be read now keeps the rows on screen and says why on stderr; false then.
  bool ReloadData();
  // Moves the rows of a finished background reading into the columns; true when it did.
  bool CollectPendingRows();
  // Waits for a background reading to finish and collects its rows; false when a termination signal
  // came first (the tool without a window, which has no frames to wait with).
  bool FinishLoading();
  // --- one frame of user input into the view settings (view_control.cpp)
  void UpdateControl();
  // --- one picture into the back buffer, between its own BeginScene and EndScene (scene_drawing.cpp)
  // False when the run began to end (a termination signal, the close button or Escape waiting) before
  // every row was drawn: the rows left and the text are not drawn, and the picture is not to be shown.
  bool Draw();
  // --- the frame driver (frame_driver.cpp)
  // Loads the font texture (a failure shows a message and exits with status 0), starts the pacing,
  // prepares the fog, state 0.
  void Start();
  // One frame; 1 ends the main loop (only in state 99), else 0.
  int32_t RunFrame();
  // The FPS readout switch (start-up key FPS).
  void SetShowFps(int32_t on) { showFps = on; }
  // The most rows a data file gives (start-up key MAXROWS, the render tool's --max-rows), and the
  // setting a notice of rows left out names.
  void SetRowLimit(std::size_t rows, std::string limitName = "MAXROWS in config.ini") {
    rowLimit = rows;
    rowLimitName = std::move(limitName);
  }
  // The delimiter and columns asked for (start-up keys DELIMITER and COLUMNS, or the options).
  void SetReadOptions(const viewer::ReadOptions& options) { readOptions = options; }
  // Shows the command line's --lines/--points, --fit/--fit-axes/--no-fit, --colour-by-height/--white,
  // --ranges/--no-ranges and --point-size for this run only: their keys stay in config.ini as they are,
  // unless the user changes that setting with its key (F2, F6, F7, F8, - and +) during the run, which is
  // then saved as usual.
  void OverrideForThisRun(const viewer::ViewOptions& options);

  // --- text from the font texture (bitmap_text.cpp); (x, y) is the top-left of the first glyph.
  void DrawLargeText(int32_t x, int32_t y, const char* text, D3DCOLOR colour);  // 16 x 16 glyphs
  void DrawSmallText(int32_t x, int32_t y, const char* text, D3DCOLOR colour);  // 8 x 8 glyphs
  // 8 x 8 glyphs anywhere on the picture (SetPictureSize), not only on the window's 640 x 480: the
  // range labels.
  void DrawPictureText(int32_t x, int32_t y, const char* text, D3DCOLOR colour);

  // The part of the back buffer that is shown, where the range labels and the colour bar are kept:
  // by default the window's 640 x 480 corner (less when the back buffer is smaller); the render tool's
  // --size and a resizable window (FollowWindow) show the whole back buffer.
  void SetPictureSize(int32_t width, int32_t height) {
    pictureWidth_ = width;
    pictureHeight_ = height;
  }

  // View settings, in their declaration order; the defaults are those of the keys. Switches: 0 is off.
  double cameraTheta = 45.0;  // orbit angle, degrees
  double cameraR = 250.0;     // orbit radius
  int32_t cameraZ = 150;      // camera height (key CAMERA_X)
  int32_t cameraY = 30;       // stored and written back; nothing draws with it
  int32_t axisX = 0;          // look-at x
  int32_t axisY = 0;          // look-at z (the readout calls it Y)
  int32_t showHint = 1;
  int32_t lineMode = 0;
  int32_t autoAnime = 0;
  int32_t showAxis = 1;
  int32_t showFps = 0;  // never written back
  std::size_t rowLimit = viewer::kMaxDataRows;  // never written back; MAXROWS or --max-rows may raise it
  std::string rowLimitName = "MAXROWS in config.ini";
  viewer::ReadOptions readOptions;  // never written back
  viewer::DataReadResult lastReading;  // how the rows on screen were read
  // Beyond the original view keys; written back only when the file has them or they are not 0.
  int32_t fitMode = 0;         // F6, key FIT: 0 raw values, 1 fitted, 2 each axis fitted (viewer::FitMode)
  int32_t colourByHeight = 0;  // F7, key COLORMAP: rows coloured by z instead of white
  int32_t showRanges = 0;      // F8, key RANGES: the drawn rows' box with its values, the colour bar
  // Keys - and +, key POINTSIZE (written back only when the file has it or it is not 1): the side in
  // pixels of each row's point, 1 to viewer::kMostPointSize; the polyline stays one pixel wide.
  int32_t pointSize = 1;
  bool pointSizeInFile = false;  // config.ini has POINTSIZE: the help names its keys even at size 1

  // The stored rows, all three always of the same length (at most rowLimit).
  std::vector<double> dataX, dataY, dataZ;
  std::vector<double> dataColour;  // the colour column's values (COLOUR_COLUMN, --colour-column), else empty
  // The one-point vertex buffer made with HARD_TL on, and the scene's copy of its contents. Nothing
  // draws from it: every row comes from the row buffer, whatever HARD_TL says.
  SceneVertex pointVertices[2] = {};
  IDirect3DVertexBuffer8* vertexBuffer = nullptr;  // owned; only with HARD_TL on

  int32_t state = 0;      // 0 data not loaded, 1 running, 99 leaving
  int32_t targetFps = 0;  // 60 once the data is loaded

  // Values that live for the whole run. They are members rather than file-scope variables: there is
  // exactly one scene, so this behaves the same, and a test can start from a fresh scene.
  bool frameClockStarted = false;  // lastSecond has been read (on the first RunFrame)
  uint32_t lastSecond = 0;         // whole clock second whose frames are being counted
  int32_t frameCount = 0;          // frames counted in lastSecond so far
  int32_t measuredFps = 0;         // the count of the last completed second (the readout)
  uint8_t drawToggle = 1;          // flips every frame with DRAWLEVEL on; the scene draws while 1
  uint8_t hotkeyLatch = 0;         // 1 from a function-key toggle until no function key is down

 private:
  // The rows of g_dataPath, at once or in the background. With `keepUnlessRead` (a reading again) the
  // rows on screen stay until the new reading has ended with rows to draw.
  void ReadRows(bool keepUnlessRead);
  // The rows of a finished reading into the columns (or not, as ReadRows says), with the reading's
  // notice on stderr.
  void TakeRows(viewer::DataColumns rows, const viewer::DataReadResult& result);
  // Keeps how the rows were read and says on stderr what was not read as it stands.
  void ReportReading(const viewer::DataReadResult& result);
  // The rows drawn (all but the last stored one), as points or as the polyline, from the row buffer
  // in chunks; false when the run began to end before every chunk was drawn.
  bool DrawDataRows();
  // row_buffer.cpp: the vertex buffer of the drawn rows, fitted and coloured as the view asks; made
  // again only when the rows, the fit or the colours changed since. Null when there is nothing to draw
  // (or no memory for it, said on stderr); it may hold only the first rows (said too).
  IDirect3DVertexBuffer8* RowBuffer();
  // view_control.cpp: the - and + keys (the keypad's too) step pointSize down or up within 1 to 9.
  void StepPointSize();
  // The free pointer (pointer_pick.cpp). UpdatePointer: P frees the pointer from the camera and gives
  // it back; while free a left click copies the ringed row. FindPickedRow (after the rows are drawn,
  // through the transforms they were drawn with) finds the row under it; DrawPickedRow rings it and
  // writes its readout, or says that none is near.
  void UpdatePointer();
  void FindPickedRow();
  void DrawPickedRow();
  void CopyPickedRow();
  std::string PickedRowValues(std::size_t row) const;  // "x,y,z" as shortest round-trip text
  // The robust box of the drawn rows, worked out again only after rows were loaded.
  const viewer::RobustBox& DrawnRowsBox();
  // The ranges (scene_ranges.cpp): the box in world space, drawn before the rows so that they cover
  // it; the labels and the colour bar on top of everything drawn, placed on the picture.
  void UpdateSwitches();  // F1-F9 through the one shared latch
  void DrawTexts(bool whole);  // the help, the readouts and why a plot shows nothing
  void DrawCentredLine(const std::string& text);  // a line of small glyphs below the picture's middle
  void DrawRangeBox();
  // Whether the drawn rows' box may show on the picture: false when it lies wholly beyond one side of
  // the view, so that no row (but a stray one) lands on the picture.
  bool RowsBoxInView();
  void DrawRangeLabels();
  void DrawColourBar(viewer::LabelPlacer& placer, int32_t width, int32_t height);
  void DrawRowsOutsideLine(viewer::LabelPlacer& placer, int32_t width, int32_t height);
  void DrawLabel(const viewer::LabelRect& at, const std::string& text);
  void PictureSize(int32_t* width, int32_t* height) const;
  // The window's picture (window_picture.cpp). A resizable window's picture is the whole back buffer:
  // FollowWindow, before a frame draws, applies the size the window last reported, and the text keeps
  // to the picture's corners (TextScreen), as it does on the render tool's --size picture; any other
  // window shows the fixed 640 x 480.
  void FollowWindow();
  void TextScreen(int32_t* width, int32_t* height) const;

  // The settings the command line set for this run and the user has not changed since: SaveSettings
  // leaves their keys (LINESET, FIT, COLORMAP) in the file as they are.
  struct RunOnly {
    bool lineMode = false, fitMode = false, colourByHeight = false, showRanges = false, pointSize = false;
  } runOnly_;
  int32_t pictureWidth_ = 0, pictureHeight_ = 0;  // 0: the window's corner (PictureSize)
  bool followsWindow_ = false;      // the back buffer follows a resizable window (set by Start)
  bool resizeFailureTold_ = false;  // a failed resize was said on stderr; said again after one succeeds
  std::string configPath_;
  std::string programFolder_;  // set when the settings file is the program's own (prepared at the save)
  bool settingsRead_ = false;  // false when a termination request cut the reading short (see SaveSettings)
  std::string loadedPath_;  // the g_dataPath the rows were read from; a new one is read at the next frame
  unsigned seenDrops_ = 0;  // g_dataDrops when the rows were asked for
  bool keepUnlessRead_ = false;  // the reading under way replaces the rows only if it has rows to draw
  viewer::RobustBox drawnBox_;
  viewer::RowsOutside rowsOutside_;  // the drawn rows beyond drawnBox_, and their whole box
  size_t rowsOutsideRows_ = SIZE_MAX;  // the row count rowsOutside_ is of (found when the ranges show)
  size_t drawnBoxRows_ = SIZE_MAX;  // the row count drawnBox_ is of; SIZE_MAX: none yet
  // The range the colours span: the drawn rows' robust one of the colour column, or of their heights.
  void ColourRange(double* low, double* high);
  double colourLow_ = 0, colourHigh_ = 0;
  size_t colourRangeRows_ = SIZE_MAX;
  // The row buffer and what it was made for; `made` false: to be made at the next frame.
  struct {
    IDirect3DVertexBuffer8* buffer = nullptr;  // owned
    std::size_t rows = 0;                      // the first rows, which it holds
    bool made = false;
    int32_t fitMode = 0, colourByHeight = 0;
  } rowBuffer_;
  std::unique_ptr<platform::Worker> rowFiller_;  // fills the row buffer a half on each core
  uint64_t rowBuffersMade_ = 0;  // counts the row buffers made, so a pick knows when the rows changed
  // The free pointer (key P): the camera no longer follows the mouse, the row under it is found.
  struct {
    bool free = false;
    uint8_t keyLatch = 0;     // 1 from a toggle until P is seen up
    bool buttonDown = false;  // the left button as the last frame saw it: a click is its press
    bool over = false;        // the pointer is over the picture
    viewer::RowPick row;      // the row ringed on the last picture
    viewer::RowPicker picker;
  } pointer_;
  std::unique_ptr<viewer::BackgroundDataRead> pendingRows_;
};

// The texture name the bitmap text is drawn from (loaded by Start).
inline constexpr const char kFontTextureName[] = "data\\font.dds";

namespace viewer {

// Whether the run is ending (SIGINT or SIGTERM, or the close button or Escape waiting among the
// window's events): a frame of millions of rows, or a reading within the frame, takes longer than a
// frame should, and must not hold the end back until it is done.
bool RunEnding();

// a × b, as the device combines its transforms (a row vector times a, then b).
inline D3DMATRIX Product(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DXMATRIX product;
  const D3DXMATRIX first(a), second(b);
  D3DXMatrixMultiply(&product, &first, &second);
  return product;
}

// A double truncated toward zero to 32 bits: the low 32 bits of the 64-bit truncation, read as signed
// (359.9 gives 359, -0.5 gives 0). NaN gives 0 and values beyond the 64-bit range saturate first, so
// no input is undefined behaviour.
inline int32_t TruncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  int64_t wide;
  if (value >= 9223372036854775807.0) {
    wide = INT64_MAX;
  } else if (value <= -9223372036854775808.0) {
    wide = INT64_MIN;
  } else {
    wide = static_cast<int64_t>(value);
  }
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(wide)));
}

}  // namespace viewer

// The one scene (scene_instance.cpp): constructed before main, destroyed (and saved) at process exit.
extern ViewerScene g_scene;
// The data file path; set by the entry point, read by LoadData. Also the window title.
extern std::string g_dataPath;
// Files dropped on the window so far: a drop of the file on screen reads it again, as F9 does.
extern unsigned g_dataDrops;
