// RunThreads: whether the next long run of a kind (point runs, strips) is drawn on two threads or one,
// from what each way cost per primitive lately. Both ways give the same bytes; which is faster
// depends on the machine: on an idle one two threads win, while under other load a helper thread that
// is preempted holds the caller up, and one thread wins. Every kProbeEvery runs take the other way,
// so a change of load is noticed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace render {

class RunThreads {
 public:
  static constexpr unsigned kProbeEvery = 16;

  bool TwoNext() {
    ++runs_;
    bool two;
    if (cost_[1] == 0) two = true;        // two threads not yet measured
    else if (cost_[0] == 0) two = false;  // then one
    else two = cost_[1] < cost_[0];
    probing_ = runs_ % kProbeEvery == 0;
    return probing_ ? !two : two;
  }
  // A run drawn on two threads (`two`) or one took `nanoseconds` for `primitives`.
  void Took(bool two, uint64_t nanoseconds, std::size_t primitives) {
    if (primitives == 0) return;
    const double perPrimitive = static_cast<double>(nanoseconds) / static_cast<double>(primitives);
    double& cost = cost_[two ? 1 : 0];
    // A probe's cost stands alone (the way's last one is old); else the last few runs weigh most.
    cost = cost == 0 || probing_ ? perPrimitive : cost + (perPrimitive - cost) / 4;
  }

 private:
  double cost_[2] = {0, 0};  // ns a primitive, one thread and two; 0: not measured
  unsigned runs_ = 0;
  bool probing_ = false;  // the run under way takes the other way
};

}  // namespace render
