#include "platform/dshow/pin_walk.h"

namespace platform::dshow {

std::vector<ComPtr<IPin>> pinsOf(IBaseFilter* filter) {
    std::vector<ComPtr<IPin>> pins;
    ComPtr<IEnumPins> e;
    if (FAILED(filter->EnumPins(e.put()))) return pins;
    IPin* pin;
    while (e->Next(1, &pin, nullptr) == S_OK) pins.push_back(ComPtr<IPin>::adopt(pin));
    return pins;
}

std::vector<ComPtr<IPin>> freePinsOf(IBaseFilter* filter, PIN_DIRECTION dir) {
    std::vector<ComPtr<IPin>> pins;
    for (auto& pin : pinsOf(filter)) {
        PIN_DIRECTION d;
        if (SUCCEEDED(pin->QueryDirection(&d)) && d == dir && !isConnected(pin.get())) pins.push_back(pin);
    }
    return pins;
}

PIN_DIRECTION directionOf(IPin* pin) {
    PIN_DIRECTION dir = PINDIR_INPUT;
    pin->QueryDirection(&dir);
    return dir;
}

ComPtr<IBaseFilter> ownerOf(IPin* pin) {
    PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info))) return nullptr;
    return ComPtr<IBaseFilter>::adopt(info.pFilter);
}

bool isConnected(IPin* pin) {
    ComPtr<IPin> peer;
    return SUCCEEDED(pin->ConnectedTo(peer.put()));
}

} // namespace platform::dshow
