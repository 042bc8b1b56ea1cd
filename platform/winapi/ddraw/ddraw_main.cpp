// DirectDrawCreate, and what every DirectDraw object shares (kept in the
// layer's state): the foreground state that decides whether surfaces keep
// their memory, the list of live surfaces, and the counts of live objects.
#include <new>

#include "ddraw_private.h"
#include "varnholt/host.h"
#include "winapi_state.h"

namespace vh::platform {

void setDisplayForeground(bool isForeground) {
    // Another program taking the display takes the video memory with it.
    if (!isForeground) loseAllSurfaces();
    winapiState().ddraw.foreground = isForeground;
}

bool displayForeground() {
    return winapiState().ddraw.foreground;
}

void loseAllSurfaces() {
    for (auto* surface : dd::allSurfaces()) surface->lose();
}

}  // namespace vh::platform

namespace vh::platform::dd {

std::vector<SurfaceObject*>& allSurfaces() {
    return winapiState().ddraw.surfaces;
}

int& liveDirectDrawObjects() {
    return winapiState().ddraw.liveDirectDrawObjects;
}

int& liveSurfaces() {
    return winapiState().ddraw.liveSurfaces;
}

int& liveClippers() {
    return winapiState().ddraw.liveClippers;
}

}  // namespace vh::platform::dd

HRESULT WINAPI DirectDrawCreate(GUID* driver, LPDIRECTDRAW* directDraw, IUnknown* outer) {
    using namespace vh::platform;
    if (directDraw) *directDraw = nullptr;
    return journalled("DirectDrawCreate", nullptr, [&] {
        if (!directDraw || outer || driver) return DDERR_INVALIDPARAMS;
        if (!host().hasDisplay()) return DDERR_NODIRECTDRAWHW;
        auto* created = new (std::nothrow) dd::DirectDrawObject();
        if (!created) return DDERR_OUTOFMEMORY;
        *directDraw = created;
        return DD_OK;
    });
}
