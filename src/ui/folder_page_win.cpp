#include "ui/folder_page_win.h"

#include <shlobj.h>

#include "app/folders.h"
#include "app/install_folder_check.h"
#include "app/wizard_state.h"
#include "base/format.h"
#include "package/file_utils.h"
#include "platform/system.h"
#include "platform/win/unique_handles.h"
#include "ui/welcome_page_win.h"

namespace ui {

namespace {

constexpr int kControlFolder = 1007;
constexpr int kControlSpace = 1008;
constexpr int32_t kItemDriveMenu = 2001;
constexpr int32_t kItemNext = 2010;
constexpr int32_t kItemBack = 2011;
constexpr int32_t kItemDesktopLink = 2012;
constexpr WORD kCommandFirstDrive = 1000;
constexpr WORD kCommandCustomPath = 1030;
constexpr WORD kCommandLast = 1050;
constexpr size_t kMaxDrives = kCommandCustomPath - kCommandFirstDrive;

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

}  // namespace

std::u16string DefaultInstallFolder() {
  wchar_t buffer[MAX_PATH] = {};
  std::u16string folder;
  if (SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_PROGRAM_FILES, FALSE)) {
    folder = reinterpret_cast<const char16_t*>(buffer);
  }
  if (folder.empty()) folder = u"C:\\Program Files";
  return folder + u"\\KestrelClient\\";
}

CFolderDlg::CFolderDlg() : WizardPage(kDialogFolder, u"FolderDlg", u"Varkel安装程序") {}

bool CFolderDlg::OnInitPage() {
  AddItems({kItemMinimise, kItemClose, kItemDriveMenu, kItemNext, kItemBack});
  if (CDrawItem* check = skin_.AddItem(kItemDesktopLink)) check->SetState(kStateTicked);
  BuildDriveMenu(false);
  ShowFolder(DefaultInstallFolder());
  return true;
}

void CFolderDlg::BuildDriveMenu(bool show) {
  drives_.clear();
  free_space_.clear();
  wchar_t roots[MAX_PATH] = {};
  const DWORD length = GetLogicalDriveStringsW(MAX_PATH - 1, roots);
  if (length == 0 || length >= MAX_PATH) return;
  platform::UniqueMenu menu(CreatePopupMenu());
  if (!menu) return;
  for (const wchar_t* root = roots; *root && drives_.size() < kMaxDrives; root += wcslen(root) + 1) {
    if (GetDriveTypeW(root) != DRIVE_FIXED) continue;
    const std::u16string name{static_cast<char16_t>(root[0]), u':'};
    ULARGE_INTEGER available{};
    GetDiskFreeSpaceExW(root, &available, nullptr, nullptr);
    // "%.2f GB" of the free bytes as a single-precision number of 2^30 bytes.
    const double gigabytes = static_cast<double>(static_cast<float>(available.QuadPart) / 1073741824.0f);
    const auto hundredths = static_cast<unsigned long long>(gigabytes * 100.0 + 0.5);
    const std::u16string space = base::Format(32, u"%llu.%02llu GB", hundredths / 100, hundredths % 100);
    const std::u16string label = u" " + name + u"  (" + space + u" 剩余空间)";
    InsertMenuW(menu.get(), static_cast<UINT>(drives_.size()), MF_BYPOSITION | MF_STRING,
                kCommandFirstDrive + drives_.size(), Wide(label));
    drives_.push_back(name);
    free_space_.push_back(space);
  }
  if (!show) return;
  AppendMenuW(menu.get(), MF_STRING, kCommandCustomPath, L" 自定义安装路径");
  POINT at{};
  GetCursorPos(&at);
  TrackPopupMenu(menu.get(), TPM_LEFTALIGN, at.x, at.y + 4, 0, window_, nullptr);
  PostMessageW(window_, WM_NULL, 0, 0);
}

std::u16string CFolderDlg::EditText() const {
  HWND edit = GetDlgItem(window_, kControlFolder);
  const int length = GetWindowTextLengthW(edit);
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(edit, reinterpret_cast<wchar_t*>(text.data()), length + 1)));
  return text;
}

void CFolderDlg::ShowFolder(const std::u16string& folder) {
  SetDlgItemTextW(window_, kControlFolder, Wide(folder));
  const std::u16string drive = folder.substr(0, 2);
  for (size_t i = 0; i < drives_.size(); ++i) {
    if (drives_[i] != drive) continue;
    const std::u16string line = u"所需空间：8M     可用空间：" + free_space_[i];
    SetDlgItemTextW(window_, kControlSpace, Wide(line));
    RefreshStatic(kControlSpace);
    return;
  }
}

void CFolderDlg::PickFolder() {
  BROWSEINFOW info{};
  info.hwndOwner = window_;
  info.lpszTitle = L"Install Title";
  platform::UniqueCoTaskMem<ITEMIDLIST> picked(SHBrowseForFolderW(&info));
  if (!picked) return;
  wchar_t path[MAX_PATH] = {};
  if (!SHGetPathFromIDListW(picked.get(), path) || !path[0]) return;
  std::u16string folder = reinterpret_cast<const char16_t*>(path);
  if (folder.back() != u'\\') folder += u'\\';
  ShowFolder(folder + u"HavenClient\\");
}

bool CFolderDlg::AcceptFolder(const std::u16string& folder) {
  app::FolderProblem problem = app::CheckInstallFolderText(folder, platform::WindowsDirectory());
  if (problem == app::FolderProblem::kNone) {
    std::u16string path = folder;
    if (path.back() != u'\\' && path.back() != u'/') path += u'\\';
    if (!package::CreatePath(path.c_str()) || GetFileAttributesW(Wide(path)) == INVALID_FILE_ATTRIBUTES) {
      problem = app::FolderProblem::kCannotCreate;
    }
  }
  if (problem == app::FolderProblem::kNone) return true;
  Message(app::FolderProblemMessage(problem), u"提示信息", MB_ICONINFORMATION);
  SetFocus(GetDlgItem(window_, kControlFolder));
  return false;
}

void CFolderDlg::Next() {
  const std::u16string folder = EditText();
  if (!AcceptFolder(folder)) return;
  app::SetInstallPath(folder.c_str());
  app::SetCreateDesktopLinks(IsTicked(kItemDesktopLink));
  EndPage(InstallResultForPayload());
}

void CFolderDlg::OnItemClick(int32_t item) {
  switch (item) {
    case kItemNext:
      Next();
      break;
    case kItemBack:
      EndPage(13);
      break;
    case kItemDesktopLink:
      ToggleCheck(kItemDesktopLink);
      break;
    case kItemDriveMenu:
      BuildDriveMenu(true);
      break;
    case kItemMinimise:
      Minimise();
      break;
    case kItemClose:
      EndPage(2);
      break;
    default:
      break;
  }
}

bool CFolderDlg::OnCommand(WORD command) {
  if (command == kCommandCustomPath) {
    PickFolder();
    return true;
  }
  if (command >= kCommandFirstDrive && command < kCommandFirstDrive + drives_.size() && command <= kCommandLast) {
    std::u16string folder = EditText();
    const std::u16string& drive = drives_[command - kCommandFirstDrive];
    if (folder.empty()) {
      folder = drive + u"\\";
    } else {
      folder[0] = drive[0];
    }
    ShowFolder(folder);
    return true;
  }
  return WizardPage::OnCommand(command);
}

}  // namespace ui
