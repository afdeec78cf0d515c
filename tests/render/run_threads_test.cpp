// Long runs go on one thread or two, whichever drew faster lately; the other way is tried now and
// then, so a change of load is followed.
#include "render/run_threads.h"

#include <gtest/gtest.h>

namespace {

// Runs `runs` runs of 1 000 primitives, the way taken costing oneNs or twoNs a primitive; returns how
// many went on two threads.
int RunsOnTwo(render::RunThreads& choice, int runs, double oneNs, double twoNs) {
  int two = 0;
  for (int i = 0; i < runs; ++i) {
    const bool onTwo = choice.TwoNext();
    two += onTwo;
    choice.Took(onTwo, static_cast<uint64_t>((onTwo ? twoNs : oneNs) * 1000), 1000);
  }
  return two;
}

TEST(RunThreads, TakesTheFasterWayAndFollowsAChangeOfLoad) {
  struct Case {
    const char* name;
    double oneNs, twoNs;
    int fewestOnTwo, mostOnTwo;  // of 64 runs
  };
  const Case cases[] = {
      {"two threads twice as fast", 20, 10, 56, 63},
      {"two threads held up by load", 20, 45, 1, 8},
      {"the same either way", 20, 20, 0, 64},
  };
  for (const Case& c : cases) {
    render::RunThreads choice;
    const int onTwo = RunsOnTwo(choice, 64, c.oneNs, c.twoNs);
    EXPECT_GE(onTwo, c.fewestOnTwo) << c.name;
    EXPECT_LE(onTwo, c.mostOnTwo) << c.name;
  }
  // Load comes, then goes: the choice follows within a few probes each time.
  render::RunThreads choice;
  RunsOnTwo(choice, 64, 20, 10);
  EXPECT_LE(RunsOnTwo(choice, 64, 20, 45), 16) << "after load came";
  EXPECT_GE(RunsOnTwo(choice, 64, 20, 10), 40) << "after load went";
}

}  // namespace
