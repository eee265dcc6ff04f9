#include "ui/welcome_page_win.h"

#include "app/wizard_flow.h"
#include "app/wizard_state.h"
#include "package/payload.h"
#include "platform/system.h"
#include "ui/licence_text.h"

namespace ui {

namespace {

constexpr int32_t kItemInstallNow = 2004;
constexpr int32_t kItemLicenceLink = 2003;
constexpr int32_t kItemCustomLink = 2002;
constexpr int32_t kItemAccept = 2010;
constexpr int kControlLicenceText = 1012;
// Text-sized links that change state without bitmaps and show no hand in state 0.
constexpr uint32_t kLinkStyle = kStyleNoHandInNormal | kStyleAnyState | kStyleSizeFromText;

}  // namespace

int InstallResultForPayload() {
  return package::HasPackagePart(platform::ModuleFilePath()) ? app::kPageInstallCarried : app::kPageInstallDownload;
}

CWelDlg::CWelDlg() : WizardPage(kDialogWelcome, u"WelcomeDlg", u"Varkel安装程序") {}

bool CWelDlg::OnBeforeSkin() {
  std::u16string download_url;
  std::string package_digest;
  const std::u16string folder = package::PrepareSkinPart(&download_url, &package_digest);
  if (folder.empty()) {
    Message(u"安装包损坏，无法进行安装！", u"安装错误提示", MB_ICONINFORMATION);
    EndPage(app::kPageClosed);
    return false;
  }
  app::SetSkinFolder(folder);
  app::SetPackageDownloadUrl(download_url);
  app::SetPackageDigest(package_digest);
  return true;
}

bool CWelDlg::OnInitPage() {
  AddItems({kItemInstallNow});
  for (const auto& [item, text] : {std::pair{kItemLicenceLink, u"Varkel使用许可协议"}, std::pair{kItemCustomLink, u"自定义安装"}}) {
    CDrawItem* link = skin_.AddItem(item);
    if (!link) continue;
    link->SetStyle(kLinkStyle);
    link->SetText(text);
  }
  AddItems({kItemMinimise, kItemClose});
  return true;
}

void CWelDlg::OnItemClick(int32_t item) {
  switch (item) {
    case kItemInstallNow:
      EndPage(InstallResultForPayload());
      break;
    case kItemCustomLink:
      EndPage(app::kPageCustomFolder);
      break;
    case kItemLicenceLink: {
      ShowWindow(window_, SW_HIDE);
      CLicenseDlg licence;
      licence.DoModal(GetActiveWindow());
      ShowWindow(window_, SW_SHOW);
      break;
    }
    case kItemMinimise:
      Minimise();
      break;
    case kItemClose:
      EndPage(app::kPageClosed);
      break;
    default:
      break;
  }
}

CLicenseDlg::CLicenseDlg() : WizardPage(kDialogLicence, u"LicenseDlg", u"Varkel用户许可协议") {}

bool CLicenseDlg::OnInitPage() {
  AddItems({kItemMinimise, kItemClose, kItemAccept});
  HWND text = GetDlgItem(window_, kControlLicenceText);
  SetWindowTextW(text, reinterpret_cast<const wchar_t*>(kLicenceText));
  SetFocus(text);
  // The agreement is read from its start, with nothing selected.
  SendMessageW(text, EM_SETSEL, 0, 0);
  SendMessageW(text, EM_SCROLLCARET, 0, 0);
  return true;
}

void CLicenseDlg::OnItemClick(int32_t item) {
  if (item == kItemAccept) EndPage(1);
  if (item == kItemClose) EndPage(2);
  if (item == kItemMinimise) Minimise();
}

}  // namespace ui
