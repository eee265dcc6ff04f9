#pragma once
// The frame every wizard page shares: a modal dialog from the program's resources, without
// caption or border, shaped and painted by its skin. On each showing the page is centred on its
// owner, gets the program's icons, attaches its skin section (with tooltips and dragging), takes
// the size of the skin's background and adds its items. Item clicks and commands reach the
// page's handlers; everything else goes to the skin engine first.
#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "ui/draw_wnd_win.h"

namespace ui {

// Resource identifiers of Setup.exe that the pages use.
constexpr int kIconProgram = 128;
constexpr int kDialogWelcome = 100;
constexpr int kDialogFolder = 9;
constexpr int kDialogLicence = 203;
constexpr int kDialogCopy = 129;
constexpr int kDialogDownload = 201;
constexpr int kDialogFinish = 202;

// Skin items several pages share.
constexpr int32_t kItemMinimise = 2005;
constexpr int32_t kItemClose = 2006;
// Check-mark items show state 4 when ticked.
constexpr int kStateTicked = 4;

class WizardPage {
 public:
  WizardPage(int dialog_id, const char16_t* section, const char16_t* title)
      : dialog_id_(dialog_id), section_(section), title_(title) {}
  virtual ~WizardPage() = default;
  WizardPage(const WizardPage&) = delete;
  WizardPage& operator=(const WizardPage&) = delete;

  // Shows the page modally, owned by owner; its end code, or -1 when the dialog cannot be shown.
  intptr_t DoModal(HWND owner);
  HWND Window() const { return window_; }

 protected:
  // After the skin is attached and sized: add items and fill controls. False when the page has
  // closed itself already.
  virtual bool OnInitPage() = 0;
  // Called before the skin is attached (the welcome page prepares the skin here). False ends the
  // initialisation: the page has closed itself.
  virtual bool OnBeforeSkin() { return true; }
  virtual void OnItemClick(int32_t item) {}
  // IDOK closes with 1, IDCANCEL with 2 unless a page decides otherwise; true when handled.
  virtual bool OnCommand(WORD command);
  // Messages a page handles itself; true when handled (*result holds the answer).
  virtual bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR* result) { return false; }
  virtual void OnDestroy() {}

  void EndPage(intptr_t code);
  void Minimise();
  void AddItems(std::initializer_list<int32_t> items);
  void ToggleCheck(int32_t item);
  bool IsTicked(int32_t item);
  // A message box owned by the page, which is shown behind it once its skin is attached.
  int Message(const char16_t* text, const char16_t* title, UINT type);
  // Redraws a transparent static text and the skin under it.
  void RefreshStatic(int control);

  CDrawWnd skin_;
  HWND window_ = nullptr;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void Initialise();

  int dialog_id_;
  bool skinned_ = false;
  const char16_t* section_;
  const char16_t* title_;
};

}  // namespace ui
