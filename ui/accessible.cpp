#include "ui/accessible.h"

#include <oleacc.h>

#include <new>

namespace {

// An IAccessible that asks the control's standard object for everything but the answers
// given to it. It keeps only the control's handle: a client may hold it after the control,
// or the dialog, is gone, and then gets the standard object's answers for a dead window.
class CAccessibleControl final : public IAccessible, public IOleWindow {
 public:
  CAccessibleControl(HWND control, IAccessible* standard, const AccessibleAnswers& answers)
      : Refs(1), Control(control), Standard(standard), Answers(answers) {}
  CAccessibleControl(const CAccessibleControl&) = delete;
  CAccessibleControl& operator=(const CAccessibleControl&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (id == IID_IUnknown || id == IID_IDispatch || id == IID_IAccessible) {
      *object = static_cast<IAccessible*>(this);
    } else if (id == IID_IOleWindow) {
      *object = static_cast<IOleWindow*>(this);
    } else if (id == IID_IEnumVARIANT) {
      // The children (an up-down control's two buttons) are the standard object's.
      return Standard->QueryInterface(id, object);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&Refs); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&Refs);
    if (left == 0) delete this;
    return left;
  }

  // IOleWindow: WindowFromAccessibleObject asks for it.
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = Control;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return Standard->GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return Standard->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID id, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override {
    return Standard->GetIDsOfNames(id, names, count, locale, ids);
  }
  // Late-bound calls reach this object's methods too, through the standard type information.
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID locale, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception, UINT* wrong_argument) override {
    ITypeInfo* info = nullptr;
    HRESULT hr = Standard->GetTypeInfo(0, locale, &info);
    if (FAILED(hr)) return hr;
    hr =
        DispInvoke(static_cast<IAccessible*>(this), info, member, flags, parameters, result, exception, wrong_argument);
    info->Release();
    return hr;
  }

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!Answers.name || !Ours(child)) return Standard->get_accName(child, name);
    wchar_t text[256] = {};
    Answers.name(Control, text, 256);
    return Text(text, name);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!Answers.role || !Ours(child)) return Standard->get_accRole(child, role);
    if (!role) return E_INVALIDARG;
    role->vt = VT_I4;
    role->lVal = Answers.role;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    if (!Answers.default_action || !Ours(child)) return Standard->get_accDefaultAction(child, action);
    return Text(Answers.default_action, action);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    if (!Answers.do_default_action || !Ours(child)) return Standard->accDoDefaultAction(child);
    return Answers.do_default_action(Control) ? S_OK : DISP_E_MEMBERNOTFOUND;
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return Standard->get_accParent(parent); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override { return Standard->get_accChildCount(count); }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    return Standard->get_accChild(child, object);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return Standard->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    return Standard->get_accDescription(child, description);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    return Standard->get_accState(child, state);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return Standard->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    return Standard->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return Standard->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return Standard->get_accFocus(child); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
    return Standard->get_accSelection(children);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override { return Standard->accSelect(flags, child); }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
    return Standard->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    return Standard->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
    return Standard->accHitTest(x, y, child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return Standard->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return Standard->put_accValue(child, value);
  }

 private:
  ~CAccessibleControl() { Standard->Release(); }

  // The control itself, while it lives; a dead window gets the standard answers.
  bool Ours(const VARIANT& child) const { return child.vt == VT_I4 && child.lVal == CHILDID_SELF && IsWindow(Control); }
  static HRESULT Text(const wchar_t* text, BSTR* out) {
    if (!out) return E_INVALIDARG;
    *out = SysAllocString(text);
    return *out ? S_OK : E_OUTOFMEMORY;
  }

  LONG Refs;
  HWND Control;
  IAccessible* Standard;
  const AccessibleAnswers& Answers;
};

}  // namespace

LRESULT AnswerAccessibleObject(HWND control, WPARAM wParam, LPARAM lParam, const AccessibleAnswers& answers,
                               IAccessible** kept) {
  // The object id is a 32-bit value, whether or not it arrives sign-extended.
  if (static_cast<LONG>(lParam) != OBJID_CLIENT) return 0;
  if (!*kept) {
    IAccessible* standard = nullptr;
    if (FAILED(
            CreateStdAccessibleObject(control, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&standard)))) {
      return 0;
    }
    *kept = new (std::nothrow) CAccessibleControl(control, standard, answers);
    if (!*kept) {
      standard->Release();
      return 0;
    }
  }
  const LRESULT result = LresultFromObject(IID_IAccessible, wParam, *kept);
  return result > 0 ? result : 0;
}

void ReleaseAccessibleObject(IAccessible** kept) {
  if (!*kept) return;
  CoDisconnectObject(*kept, 0);
  (*kept)->Release();
  *kept = nullptr;
}
