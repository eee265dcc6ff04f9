#pragma once
// A step of weight w over n items moves the view's position by w / n after each item, from the
// position the view had when the step began; the position set is the integer part of the sum.
#include <cstddef>
#include <cstdint>

#include "engine/update_view.h"

namespace engine {

class ProgressShare {
 public:
  ProgressShare(IUpdateView* view, uint32_t weight, size_t count)
      : view_(view),
        position_(view ? view->GetPos() : 0),
        share_(count ? static_cast<double>(weight) / static_cast<double>(count) : 0) {}

  void Advance() {
    position_ += share_;
    if (view_) view_->SetPos(static_cast<uint32_t>(position_));
  }

 private:
  IUpdateView* view_;  // not owned; null reports nothing
  double position_;
  double share_;
};

}  // namespace engine
