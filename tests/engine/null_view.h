#pragma once
// A progress view that does nothing: tests derive from it and record only the calls they check.
#include "engine/update_view.h"

namespace engine_test {

struct NullView : engine::IUpdateView {
  uint32_t IsCancel() override { return 0; }
  void StepIt(uint32_t) override {}
  void BeginItem(uint32_t) override {}
  void SetRange(uint16_t, uint16_t) override {}
  void SetItemRange(uint32_t, uint32_t) override {}
  uint32_t GetPos() override { return 0; }
  uint16_t SetPos(uint32_t) override { return 0; }
  void SetFull() override {}
  void EndItems() override {}
  void SetStatus(uint32_t) override {}
  void OnCopyFile(const char16_t*, const char16_t*) override {}
  void OnStart() override {}
  void OnFinish(uint32_t, uint32_t) override {}
  void OnDeleteFile(const char16_t*) override {}
  void SetFileCount(uint32_t) override {}
  void SetCurrentFile(uint32_t) override {}
};

}  // namespace engine_test
