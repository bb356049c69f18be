#include "base/live_region.h"

#include <oleacc.h>

namespace {

// UI Automation's LiveSetting property and its value Polite: read out when the
// user is not busy with something else. From the Windows SDK's UIAutomationClient.h.
const GUID kLiveSettingProperty = {0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
const LONG kPolite = 1;
const GUID kAccPropServices = {0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
const IID kIAccPropServices = {0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
const DWORD kLiveRegionChanged = 0x8019;  // EVENT_OBJECT_LIVEREGIONCHANGED

IAccPropServices *PropertyService()
{
    IAccPropServices *services = nullptr;
    if (FAILED(CoCreateInstance(kAccPropServices, nullptr, CLSCTX_INPROC_SERVER, kIAccPropServices,
                                reinterpret_cast<void **>(&services))))
        return nullptr;
    return services;
}

}  // namespace

bool LiveRegionCreate(HWND control)
{
    IAccPropServices *services = PropertyService();
    if (!services) return false;
    VARIANT polite;
    ZeroMemory(&polite, sizeof polite);
    polite.vt = VT_I4;
    polite.lVal = kPolite;
    HRESULT set = services->SetHwndProp(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, kLiveSettingProperty,
                                        polite);
    services->Release();
    return SUCCEEDED(set);
}

void LiveRegionChanged(HWND control)
{
    NotifyWinEvent(kLiveRegionChanged, control, OBJID_CLIENT, CHILDID_SELF);
}

void LiveRegionRemove(HWND control)
{
    IAccPropServices *services = PropertyService();
    if (!services) return;
    MSAAPROPID property = kLiveSettingProperty;
    services->ClearHwndProps(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, &property, 1);
    services->Release();
}
