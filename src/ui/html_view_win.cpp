#include "ui/html_view_win.h"

#include <exdisp.h>
#include <ole2.h>

#include "app/log.h"
#include "platform/win/unique_handles.h"

namespace ui {

namespace {

// The class of the platform's HTML document: {25336920-03F9-11CF-8FD0-00AA00686F13}.
constexpr CLSID kHtmlDocument = {0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};

}  // namespace

// The container side of the control: a client site, an in-place site and the frame the control
// asks for. It offers no menus, tool space or undo, which the control handles being refused.
class HtmlView::Site final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
 public:
  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite) {
      *out = static_cast<IOleInPlaceSite*>(this);
    } else if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame) {
      *out = static_cast<IOleInPlaceFrame*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow, for both the in-place site and the frame
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = parent_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                             LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    if (!frame || !document || !position || !clip || !info) return E_POINTER;
    *frame = this;
    AddRef();
    *document = nullptr;
    *position = rect_;
    *clip = rect_;
    info->fMDIApp = FALSE;
    info->hwndFrame = parent_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT rect) override {
    if (!rect) return E_POINTER;
    rect_ = *rect;
    platform::UniqueCom<IOleInPlaceObject> in_place;
    if (object_ && SUCCEEDED(object_.get()->QueryInterface(IID_IOleInPlaceObject,
                                                         reinterpret_cast<void**>(in_place.put())))) {
      in_place.get()->SetObjectRects(&rect_, &rect_);
    }
    return S_OK;
  }

  // IOleInPlaceUIWindow
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return OLE_E_INVALIDRECT; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }

  // IOleInPlaceFrame
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  bool Create(HWND parent, const RECT& rect) {
    parent_ = parent;
    rect_ = rect;
    // The browser control exists on systems without an HTML engine too, and then shows a blank
    // area: without an engine to render documents the view is not made at all.
    platform::UniqueCom<IUnknown> engine;
    HRESULT result = CoCreateInstance(kHtmlDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                      reinterpret_cast<void**>(engine.put()));
    engine.reset();
    if (SUCCEEDED(result)) {
      result = CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(object_.put()));
    }
    if (SUCCEEDED(result)) result = object_.get()->SetClientSite(this);
    if (SUCCEEDED(result)) {
      OleSetContainedObject(object_.get(), TRUE);
      RECT position = rect_;
      result = object_.get()->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, parent_, &position);
    }
    if (SUCCEEDED(result)) {
      result = object_.get()->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(browser_.put()));
    }
    if (FAILED(result)) {
      app::LogText(u"warning, the HTML view cannot be created; the page shows without it",
                   static_cast<uint32_t>(result));
      Destroy();
      return false;
    }
    return true;
  }

  bool Navigate(const std::u16string& url) {
    if (!browser_) return false;
    VARIANT address;
    VariantInit(&address);
    address.vt = VT_BSTR;
    address.bstrVal = SysAllocString(reinterpret_cast<const OLECHAR*>(url.c_str()));
    if (!address.bstrVal) return false;
    VARIANT none;
    VariantInit(&none);
    const HRESULT result = browser_.get()->Navigate2(&address, &none, &none, &none, &none);
    VariantClear(&address);
    if (FAILED(result)) {
      app::LogText2(u"warning, the HTML view cannot show ", url.c_str(), static_cast<uint32_t>(result));
      return false;
    }
    return true;
  }

  void Move(const RECT& rect) { OnPosRectChange(&rect); }

  void Destroy() {
    browser_.reset();
    if (!object_) return;
    platform::UniqueCom<IOleInPlaceObject> in_place;
    if (SUCCEEDED(object_.get()->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(in_place.put())))) {
      in_place.get()->InPlaceDeactivate();
    }
    object_.get()->Close(OLECLOSE_NOSAVE);
    object_.get()->SetClientSite(nullptr);
    object_.reset();
  }

  bool IsCreated() const { return static_cast<bool>(browser_); }

  HWND Window() const {
    HWND window = nullptr;
    platform::UniqueCom<IOleInPlaceObject> in_place;
    if (object_ && SUCCEEDED(object_.get()->QueryInterface(IID_IOleInPlaceObject,
                                                           reinterpret_cast<void**>(in_place.put())))) {
      in_place.get()->GetWindow(&window);
    }
    return window;
  }

 private:
  ~Site() { Destroy(); }

  LONG references_ = 1;
  HWND parent_ = nullptr;
  RECT rect_{};
  platform::UniqueCom<IOleObject> object_;
  platform::UniqueCom<IWebBrowser2> browser_;
};

HtmlView::HtmlView() : site_(new Site) {}

HtmlView::~HtmlView() {
  site_->Destroy();
  site_->Release();
}

bool HtmlView::Create(HWND parent, const RECT& rect) {
  site_->Destroy();
  return site_->Create(parent, rect);
}

bool HtmlView::Navigate(const std::u16string& url) { return site_->Navigate(url); }

void HtmlView::Move(const RECT& rect) { site_->Move(rect); }

void HtmlView::Destroy() { site_->Destroy(); }

bool HtmlView::IsCreated() const { return site_->IsCreated(); }

HWND HtmlView::Window() const { return site_->Window(); }

}  // namespace ui
