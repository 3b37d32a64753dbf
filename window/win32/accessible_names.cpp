#include "window/win32/accessible_names.h"

namespace quorvane::win32 {
namespace {

struct ListName {
  Control control;
  const wchar_t* name;
};
constexpr ListName kListNames[] = {
    {Control::Drive1, L"Drive"}, {Control::Dir1, L"Folders"}, {Control::File1, L"Files"}};

MSAAPROPID kNameProperty[] = {PROPID_ACC_NAME};

IAccPropServices* CreateServices() {
  void* services = nullptr;
  if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IAccPropServices, &services))) {
    return nullptr;
  }
  return static_cast<IAccPropServices*>(services);
}

}  // namespace

AccessibleNames::AccessibleNames(const FormControls& controls)
    : services_(CreateServices()), controls_(controls) {
  if (!services_) {
    return;
  }
  for (const ListName& list : kListNames) {
    services_->SetHwndPropStr(controls_[list.control], OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_NAME,
                              list.name);
  }
}

AccessibleNames::~AccessibleNames() {
  if (!services_) {
    return;
  }
  for (const ListName& list : kListNames) {
    services_->ClearHwndProps(controls_[list.control], OBJID_CLIENT, CHILDID_SELF, kNameProperty,
                              1);
  }
  services_->ClearHwndProps(controls_[Control::lblFCount], OBJID_CLIENT, CHILDID_SELF,
                            kNameProperty, 1);
}

void AccessibleNames::NameCount(const std::wstring& spoken) const {
  if (services_) {
    services_->SetHwndPropStr(controls_[Control::lblFCount], OBJID_CLIENT, CHILDID_SELF,
                              PROPID_ACC_NAME, spoken.c_str());
  }
}

}  // namespace quorvane::win32
