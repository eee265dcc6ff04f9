#pragma once
// An HTML view inside a window: the platform's web browser control, hosted by a small OLE
// container site of our own (the toolchain has no ATL). The view is optional for its page: when
// the control cannot be created, activated or navigated (a system without an HTML engine), Create
// or Navigate gives false with a log line, and the page shows its skin where the view would be.
//
// Use it on the thread that created the parent window, with COM initialised there.
#include <windows.h>

#include <string>

namespace ui {

class HtmlView {
 public:
  HtmlView();
  ~HtmlView();
  HtmlView(const HtmlView&) = delete;
  HtmlView& operator=(const HtmlView&) = delete;

  // Creates the control in-place in parent at rect (client coordinates). False when the control
  // is missing or refuses to be activated; the view is then empty.
  bool Create(HWND parent, const RECT& rect);
  // Shows the document at url. False without a control or when the control refuses the address.
  bool Navigate(const std::u16string& url);
  void Move(const RECT& rect);
  // Deactivates and releases the control; the view is empty afterwards.
  void Destroy();

  bool IsCreated() const;
  // The control's own window, or null.
  HWND Window() const;

 private:
  class Site;
  Site* site_;  // reference-counted: the control may hold it past Destroy
};

}  // namespace ui
