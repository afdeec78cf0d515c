// The fixture of the tests that run scatterview-render whole: a folder of its own with a copy of the
// program, data/font.dds and a 600-row helix in data.csv; Run starts the tool there without a display.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "png_image.h"
#include "process_runner.h"
#include "program_folder.h"
#include "temp_dir.h"

namespace testsupport {

// A helix of 600 rows around the origin, within the default camera's view.
inline std::string HelixData() {
  std::string text;
  for (int i = 0; i < 600; ++i) {
    const double t = i * 0.05;
    text += std::to_string(60 * std::cos(t)) + "," + std::to_string(60 * std::sin(t)) + "," +
            std::to_string(i * 0.2 - 60) + "\n";
  }
  return text;
}

inline long Count(const RgbImage& image, uint32_t colour) {
  long n = 0;
  for (uint32_t p : image.pixels) n += p == colour;
  return n;
}

class RenderTool : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    program = dir / "scatterview-render";
    fs::copy_file(BuildDir() + "/scatterview-render", program);
    fs::copy(BuildDir() + "/data", dir / "data", fs::copy_options::recursive);
    WriteFile(dir / "data.csv", HelixData());
  }

  ProcessLaunch Launch(const std::vector<std::string>& args) {
    ProcessLaunch launch;
    launch.program = program;
    launch.args = args;
    launch.cwd = dir.Path();
    launch.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
    return launch;
  }
  RunResult Run(const std::vector<std::string>& args) { return RunProcess(Launch(args)); }

  // The picture for `config` (written beside the program) and `options`; fails the test when none.
  RgbImage Picture(const std::string& config, std::vector<std::string> options = {}) {
    WriteFile(dir / "config.ini", config);
    std::filesystem::remove(dir / "out.png");
    options.push_back("data.csv");
    options.push_back("out.png");
    RunResult r = Run(options);
    EXPECT_EQ(r.status, 0) << r.err;
    RgbImage image = ReadPng(dir / "out.png");
    EXPECT_FALSE(image.Empty()) << "no picture for " << config;
    return image;
  }

  TempDir dir;
  std::string program;
};

}  // namespace testsupport
