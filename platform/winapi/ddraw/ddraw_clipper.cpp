// DirectDraw clippers. In exclusive mode a clipper's window covers the whole
// display, so a clipper only says that blits are to be cut at the screen's
// edges; the surface it is set on does the cutting.
#include "ddraw_private.h"

namespace vh::platform::dd {

ClipperObject::ClipperObject() {
    ++liveClippers();
}

ClipperObject::~ClipperObject() {
    --liveClippers();
}

ULONG ClipperObject::AddRef() {
    return journalled("IDirectDrawClipper::AddRef", this, [&] { return ++references_; });
}

ULONG ClipperObject::Release() {
    return releaseReference("IDirectDrawClipper::Release", this, references_,
                            [this] { delete this; });
}

void ClipperObject::drop() {
    if (references_ > 0 && --references_ == 0) delete this;
}

HRESULT ClipperObject::SetHWnd(DWORD, HWND window) {
    return journalled("IDirectDrawClipper::SetHWnd", this, [&] {
        window_ = window;
        return DD_OK;
    });
}

HRESULT ClipperObject::GetHWnd(HWND* window) {
    return journalled("IDirectDrawClipper::GetHWnd", this, [&] {
        if (!window) return DDERR_INVALIDPARAMS;
        *window = window_;
        return DD_OK;
    });
}

}  // namespace vh::platform::dd
