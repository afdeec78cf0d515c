// Plain reference counting for the Direct3D-like objects: one reference at creation, deleted when
// Release brings the count to zero. Single-threaded, like the program.
#pragma once

#include "render/d3d8.h"

namespace render {

template <class Interface>
class RefCounted : public Interface {
 public:
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  ~RefCounted() override = default;

 private:
  ULONG refs_ = 1;
};

}  // namespace render
