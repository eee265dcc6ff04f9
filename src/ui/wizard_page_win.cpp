#include "ui/wizard_page_win.h"

#include <tuple>

namespace ui {

namespace {

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

void CentreOnOwner(HWND window) {
  HWND owner = GetWindow(window, GW_OWNER);
  RECT area{};
  if (!owner || !GetWindowRect(owner, &area) || IsIconic(owner)) {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  RECT self{};
  GetWindowRect(window, &self);
  const int width = self.right - self.left;
  const int height = self.bottom - self.top;
  SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetIcons(HWND window) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  for (const auto& [kind, metric_x, metric_y] :
       {std::tuple{ICON_BIG, SM_CXICON, SM_CYICON}, std::tuple{ICON_SMALL, SM_CXSMICON, SM_CYSMICON}}) {
    HANDLE icon = LoadImageW(instance, MAKEINTRESOURCEW(kIconProgram), IMAGE_ICON, GetSystemMetrics(metric_x),
                             GetSystemMetrics(metric_y), LR_DEFAULTCOLOR | LR_SHARED);
    if (icon) SendMessageW(window, WM_SETICON, kind, reinterpret_cast<LPARAM>(icon));
  }
}

}  // namespace

intptr_t WizardPage::DoModal(HWND owner) {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(dialog_id_), owner, DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK WizardPage::DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lparam);
    reinterpret_cast<WizardPage*>(lparam)->window_ = window;
  }
  auto* page = reinterpret_cast<WizardPage*>(GetWindowLongPtrW(window, DWLP_USER));
  return page ? page->Handle(message, wparam, lparam) : FALSE;
}

void WizardPage::Initialise() {
  CentreOnOwner(window_);
  SetIcons(window_);
  if (!OnBeforeSkin()) return;
  skin_.Attach(window_, section_, true, true);
  skin_.ResizeToBackground();
  skinned_ = true;
  if (!OnInitPage()) return;
  SetWindowTextW(window_, Wide(title_));
}

INT_PTR WizardPage::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    Initialise();
    // A page that put the focus on a control itself keeps it as it is (the dialog manager would
    // otherwise select the whole text of the control it focuses).
    HWND focus = GetFocus();
    return focus && IsChild(window_, focus) ? FALSE : TRUE;
  }
  INT_PTR own = 0;
  if (OnMessage(message, wparam, lparam, &own)) return own;
  if (message == WM_DESTROY) {
    OnDestroy();
    return FALSE;
  }
  if (message == WM_COMMAND && OnCommand(LOWORD(wparam))) return TRUE;
  LRESULT result = 0;
  if (skin_.ProcessWindowMessage(window_, message, wparam, lparam, &result)) {
    // A dialog procedure hands back a control's brush as its own return value.
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) return static_cast<INT_PTR>(result);
    SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
    return TRUE;
  }
  if (message == WM_ITEMNOTIFY) {
    if (lparam == kItemClicked) OnItemClick(static_cast<int32_t>(wparam));
    return TRUE;
  }
  return FALSE;
}

bool WizardPage::OnCommand(WORD command) {
  if (command == IDOK) {
    EndPage(1);
    return true;
  }
  if (command == IDCANCEL) {
    EndPage(2);
    return true;
  }
  return false;
}

void WizardPage::EndPage(intptr_t code) { EndDialog(window_, code); }

void WizardPage::Minimise() { PostMessageW(window_, WM_SYSCOMMAND, SC_MINIMIZE, 0); }

void WizardPage::AddItems(std::initializer_list<int32_t> items) {
  for (int32_t item : items) skin_.AddItem(item);
}

void WizardPage::ToggleCheck(int32_t item) {
  if (CDrawItem* check = skin_.FindItem(item)) check->SetState(IsTicked(item) ? 0 : kStateTicked);
}

bool WizardPage::IsTicked(int32_t item) {
  CDrawItem* check = skin_.FindItem(item);
  return check && check->GetState() == kStateTicked;
}

int WizardPage::Message(const char16_t* text, const char16_t* title, UINT type) {
  // The dialog loop shows a page only once it first goes idle; a worker that fails at once (a
  // damaged package part) reports before that, and its message must not stand alone on the
  // screen. A page without its skin yet (the welcome page's damaged skin part) stays hidden.
  if (skinned_ && !IsWindowVisible(window_)) ShowWindow(window_, SW_SHOW);
  return MessageBoxW(window_, Wide(text), Wide(title), type);
}

void WizardPage::RefreshStatic(int control) {
  HWND text = GetDlgItem(window_, control);
  if (!text) return;
  RECT area{};
  GetWindowRect(text, &area);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&area), 2);
  // The skin under the text first, then the text: one repaint of the area with its children.
  RedrawWindow(window_, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

}  // namespace ui
