#pragma once
// IUpdateView: the progress view of the install engine. The copy page implements it (and a
// console program may); the engine calls it from its worker thread only, and never when its view
// pointer is null. Positions run from 0 to 1000 over a whole run.
//
// The 33 operations keep their interface order. The engine calls the named ones; the others
// have no name and no caller here, and keep their places with bodies that do nothing (or give 0),
// which is what a view that has no use for them does.
#include <cstdint>

namespace engine {

class IUpdateView {
 public:
  // 1. Non-zero asks the engine to stop; asked between steps and before each item of a loop.
  virtual uint32_t IsCancel() = 0;
  // 2. Advances the progress (the copy page steps by its bar's own step size).
  virtual void StepIt(uint32_t amount) = 0;
  // 3. An item of a loop begins (the engine passes 1).
  virtual void BeginItem(uint32_t count) = 0;
  // 4. The run's range, always 0 to 1000.
  virtual void SetRange(uint16_t low, uint16_t high) = 0;
  // 5. The range of a loop: 0 to its item count (0 to 100 when a run is reset).
  virtual void SetItemRange(uint32_t low, uint32_t high) = 0;
  // 6. The current position: the base a step spreads its weight from.
  virtual uint32_t GetPos() = 0;
  // 7.
  virtual uint32_t Reserved7() { return 0; }
  // 8. Sets the position; returns the previous one (16 bits).
  virtual uint16_t SetPos(uint32_t position) = 0;
  // 9.
  virtual uint32_t Reserved9(uintptr_t) { return 0; }
  // 10., 11.
  virtual void Reserved10(uintptr_t, uintptr_t) {}
  virtual void Reserved11(uintptr_t) {}
  // 12. The progress to its end, after a successful run.
  virtual void SetFull() = 0;
  // 13. A loop over composes ended.
  virtual void EndItems() = 0;
  // 14.
  virtual void Reserved14(uintptr_t) {}
  // 15. 133 before files are collected; 128 at the start of each placement and program control
  // phase.
  virtual void SetStatus(uint32_t code) = 0;
  // 16.
  virtual void Reserved16(uintptr_t) {}
  // 17. A file is about to be copied into place.
  virtual void OnCopyFile(const char16_t* source, const char16_t* target) = 0;
  // 18. An engine operation begins.
  virtual void OnStart() = 0;
  // 19. An engine operation ended with code; restart is the process's RestartNeeded.
  virtual void OnFinish(uint32_t code, uint32_t restart) = 0;
  // 20. A removed file is about to be deleted.
  virtual void OnDeleteFile(const char16_t* path) = 0;
  // 21. to 27.
  virtual void Reserved21() {}
  virtual void Reserved22() {}
  virtual void Reserved23(uintptr_t) {}
  virtual void Reserved24(uintptr_t) {}
  virtual uint32_t Reserved25(uintptr_t, uintptr_t, uintptr_t) { return 0; }
  virtual uint32_t Reserved26(uintptr_t, uintptr_t, uintptr_t) { return 0; }
  virtual uint32_t Reserved27(uintptr_t, uintptr_t, uintptr_t) { return 0; }
  // 28. The number of files of the run, before they are extracted.
  virtual void SetFileCount(uint32_t count) = 0;
  // 29. The file now being extracted, counted from 1.
  virtual void SetCurrentFile(uint32_t number) = 0;
  // 30. The view's window (the copy page gives its own), or null.
  virtual void* Reserved30() { return nullptr; }
  // 31. to 33.
  virtual void Reserved31(uintptr_t, uintptr_t) {}
  virtual void Reserved32(uintptr_t, uintptr_t) {}
  virtual void Reserved33(uintptr_t) {}

 protected:
  // The engine never owns its view.
  virtual ~IUpdateView() = default;
};

}  // namespace engine
