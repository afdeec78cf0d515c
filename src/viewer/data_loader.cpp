// LoadData: the scene's first frame puts it into the running state, builds the one-point vertex buffer
// that point drawing uses with HARD_TL on, and reads the whole data file into the three columns (a
// pipe or FIFO on a thread of its own, whose rows CollectPendingRows brings in when they are all read).
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "graphics/direct_graphics.h"
#include "viewer/background_data_read.h"
#include "viewer/data_file_reader.h"
#include "viewer/viewer_scene.h"

namespace {

constexpr UINT kPointBufferBytes = 2 * sizeof(SceneVertex);  // 48

// One line on stderr when rows of the file were left out; none when it was read whole.
void ReportRowsLeftOut(const std::string& path, const viewer::DataReadResult& result) {
  if (result.end == viewer::DataReadEnd::Whole) return;
  const char* const format =
      result.end == viewer::DataReadEnd::RowLimit
          ? "scatterview: %s: %zu rows read, the rest of the file was not (MAXROWS in config.ini raises the limit)\n"
          : "scatterview: %s: a field of 100 or more characters in row %zu ended the reading; the rest of the file "
            "was not read\n";
  std::fprintf(stderr, format, path.c_str(), result.rows);
}

}  // namespace

void ViewerScene::LoadData() {
  // Running from here on, before anything is read: the rest of this frame already draws.
  state = 1;
  targetFps = 60;

  if (g_graphics->config.HARD_TL != 0 && !vertexBuffer) {
    // Vertex 0, white at the origin, is the one drawn: the world matrix moves it onto each row.
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
        // A buffer we cannot fill would draw garbage; without one, Draw falls back to DrawPoint.
        buffer->Release();
      }
    }
  }

  ReadRows();
}

void ViewerScene::ReadRows() {
  loadedPath_ = g_dataPath;
  drawnBoxRows_ = SIZE_MAX;  // new rows: the fit and the colours are worked out again
  if (viewer::IsPlainFile(g_dataPath)) {
    ReportRowsLeftOut(g_dataPath, viewer::ReadDataFile(g_dataPath, rowLimit, dataX, dataY, dataZ));
  } else {
    pendingRows_ = std::make_unique<viewer::BackgroundDataRead>(g_dataPath, rowLimit);
  }
}

bool ViewerScene::ReloadData() {
  std::string why;
  if (!viewer::CanReadDataFile(g_dataPath, &why)) {
    // Unlike at the start, a file that cannot be read now is no reason to stop: the rows stay.
    std::fprintf(stderr, "scatterview: %s cannot be read (%s); the rows on screen stay\n", g_dataPath.c_str(),
                 why.c_str());
    loadedPath_ = g_dataPath;
    return false;
  }
  pendingRows_.reset();
  dataX.clear();
  dataY.clear();
  dataZ.clear();
  ReadRows();
  return true;
}

bool ViewerScene::CollectPendingRows() {
  if (!pendingRows_ || !pendingRows_->Done()) return false;
  ReportRowsLeftOut(loadedPath_, pendingRows_->Result());
  viewer::DataColumns rows = pendingRows_->Take();
  pendingRows_.reset();
  dataX = std::move(rows.x);
  dataY = std::move(rows.y);
  dataZ = std::move(rows.z);
  drawnBoxRows_ = SIZE_MAX;
  return true;
}

bool ViewerScene::FinishLoading() {
  if (pendingRows_ && !pendingRows_->WaitUnlessTerminated()) return false;
  CollectPendingRows();
  return true;
}
