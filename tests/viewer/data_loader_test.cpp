// LoadData: the running state, the one-point vertex buffer by HARD_TL, and the rows of the data file.
// (The file format itself is tested with the reader, data_format_test.cpp.)
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "scene_fixture.h"

namespace viewertest {
namespace {

class DataLoader : public SceneTest {
 protected:
  // The 48 bytes the scene's vertex buffer holds.
  std::vector<uint8_t> BufferBytes() {
    std::vector<uint8_t> bytes(48);
    BYTE* data = nullptr;
    EXPECT_EQ(scene->vertexBuffer->Lock(0, 0, &data, 0), D3D_OK);
    if (data) std::memcpy(bytes.data(), data, bytes.size());
    scene->vertexBuffer->Unlock();
    return bytes;
  }
};

TEST_F(DataLoader, RunsTheSceneAndReadsEveryRowOfTheFile) {
  WriteData("1,2,3\n4,5,6\n");
  Open();
  StartScene();
  EXPECT_EQ(scene->state, 0);
  EXPECT_EQ(scene->targetFps, 0);
  scene->LoadData();
  EXPECT_EQ(scene->state, 1);
  EXPECT_EQ(scene->targetFps, 60);
  EXPECT_EQ(scene->dataX, (std::vector<double>{1, 4, 0}));
  EXPECT_EQ(scene->dataY, (std::vector<double>{2, 5, 0}));
  EXPECT_EQ(scene->dataZ, (std::vector<double>{3, 6, 0}));
}

TEST_F(DataLoader, SoftwareTransformMakesNoVertexBuffer) {
  WriteData("1,2,3\n");
  Open(Layers{.hardTl = 0});
  log->Clear();
  scene->LoadData();
  EXPECT_EQ(scene->vertexBuffer, nullptr);
  EXPECT_EQ(log->CountStartingWith("CreateVertexBuffer"), 0u);
}

TEST_F(DataLoader, HardwareTransformFillsTheOnePointBuffer) {
  for (int32_t hardTl : {1, 2}) {
    SCOPED_TRACE(hardTl);
    TearDown();
    SetUp();
    WriteData("1,2,3\n");
    Open(Layers{.hardTl = hardTl});
    log->Clear();
    scene->LoadData();
    ASSERT_NE(scene->vertexBuffer, nullptr);
    EXPECT_EQ(
        log->EntriesStartingWith("CreateVertexBuffer").at(0).rfind("CreateVertexBuffer(48, 0, 0x00000142, 1) -> vb", 0),
        0u);
    const SceneVertex expected[2] = {{0, 0, 0, 0xFFFFFFFFu, 0, 1}, {1, 0, 0, 0xFFFFFFFFu, 0, 0}};
    EXPECT_EQ(std::memcmp(scene->pointVertices, expected, sizeof expected), 0);
    const std::vector<uint8_t> bytes = BufferBytes();
    EXPECT_EQ(std::memcmp(bytes.data(), expected, sizeof expected), 0);
    EXPECT_EQ(scene->dataX.size(), 2u);
  }
}

TEST_F(DataLoader, AFileGoneSinceStartUpGivesNoRowsAndTheSceneStillRuns) {
  WriteData("1,2,3\n");
  Open();
  std::filesystem::remove(g_dataPath);
  StartScene();
  scene->LoadData();
  EXPECT_EQ(scene->state, 1);
  EXPECT_TRUE(scene->dataX.empty());
  EXPECT_TRUE(scene->dataY.empty());
  EXPECT_TRUE(scene->dataZ.empty());
  graphics->SetRenderStates(false);
  scene->Draw();  // n = 0 draws no data
  EXPECT_EQ(log->CountStartingWith("DrawPrimitiveUP(1, 1"), 1u) << "the origin point alone";
}

TEST_F(DataLoader, AFailedBufferLeavesNoGarbageOnTheScreen) {
  WriteData("20,-10,5\n-30,25,40\n");
  Open(Layers{.hardTl = 1}, "[CONFIG]\nSHOWHINT=0\n");
  log->FailCall("CreateVertexBuffer", E_OUTOFMEMORY, 1);
  StartScene();
  scene->LoadData();
  EXPECT_EQ(scene->vertexBuffer, nullptr);
  graphics->SetRenderStates(false);
  scene->Draw();
  EXPECT_EQ(CountBack(kWhite), 2) << "the rows come from a buffer of their own";
  // No memory for the rows' buffer: the rows there is memory for, or none.
  for (int failures : {1, 2}) {
    log->FailCall("CreateVertexBuffer", E_OUTOFMEMORY, failures);
    scene->fitMode ^= 1;
    scene->Draw();
    EXPECT_EQ(CountBack(kWhite), 2 - failures) << failures;
    EXPECT_EQ(CountBack(kBlack), 0) << "the axes still cover the origin";
  }
}

TEST_F(DataLoader, TheBufferIsReleasedBeforeTheGraphicsLayerGoes) {
  WriteData("1,2,3\n");
  Open(Layers{.hardTl = 1});
  scene->LoadData();
  ASSERT_NE(scene->vertexBuffer, nullptr);
  scene->ReleaseDeviceResources();
  EXPECT_EQ(scene->vertexBuffer, nullptr);
  scene->ReleaseDeviceResources();  // twice is harmless
  // The save at the end finds no buffer and writes the keys as usual.
  scene.reset();
  EXPECT_NE(testsupport::ReadFile(dir / "config.ini").find("CAMERA_R=250"), std::string::npos);
}

TEST_F(DataLoader, AReloadReplacesTheRowsOrKeepsThemWhenTheFileCannotBeRead) {
  WriteData("1,2,3\n4,5,6\n");
  Open();
  StartScene();
  scene->RunFrame();  // loads
  ASSERT_EQ(scene->dataX, (std::vector<double>{1, 4, 0}));
  scene->cameraTheta = 100;
  struct Case {
    std::string name;
    std::function<void()> change;  // the file or the path, before the next frame
    std::vector<double> x;         // the rows' x afterwards
  };
  const std::string other = dir / "other.csv";
  const std::string fifo = dir / "fifo";
  const std::vector<Case> cases = {
      {"F9 after the file was rewritten", [&] {
         testsupport::WriteFile(g_dataPath, "7,8,9\n");
         null.backend.keys.Press(VK_F9);
       }, {7, 0}},
      {"a dropped file: the path changes", [&] {
         null.backend.keys.Release(VK_F9);
         testsupport::WriteFile(other, "5,5,5\n6,6,6\n8,8,8\n");
         g_dataPath = other;
       }, {5, 6, 8, 0}},
      {"a path that cannot be read keeps the rows", [&] { g_dataPath = dir / "gone.csv"; }, {5, 6, 8, 0}},
      {"a folder keeps them too", [&] { g_dataPath = dir.Path(); }, {5, 6, 8, 0}},
      {"a file with no rows keeps them", [&] {
         testsupport::WriteFile(other, "");
         g_dataPath = other;
       }, {5, 6, 8, 0}},
      {"the file on screen dropped again is read again", [&] {
         testsupport::WriteFile(other, "3,3,3\n");
         ++g_dataDrops;
       }, {3, 0}},
      {"a FIFO keeps them while its writer is silent", [&] {
         ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
         g_dataPath = fifo;
       }, {3, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.change();
    scene->RunFrame();
    EXPECT_EQ(scene->dataX, c.x);
    EXPECT_EQ(scene->state, 1) << "still running";
    EXPECT_EQ(scene->cameraTheta, 100) << "the view is kept";
  }
  // The FIFO's writer comes at last: its rows replace the ones on screen.
  std::thread writer([&] {
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "9,9,9\n", 6), 6);
    ::close(fd);
  });
  for (int i = 0; i < 500 && !scene->CollectPendingRows(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  writer.join();
  EXPECT_EQ(scene->dataX, (std::vector<double>{9, 0}));
}

}  // namespace
}  // namespace viewertest
