// The frame loop and the recovery of lost display surfaces.
#include "app/application.h"
#include "display/sprite_registry.h"

int Application::run() {
    MSG message;
    while (running) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&message, nullptr, 0, 0)) return static_cast<int>(message.wParam);
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else if (active != 0) {
            runFrame();
        } else {
            WaitMessage();  // in the background: sleep until a message comes
        }
    }
    return 0;
}

void Application::runFrame() {
    if (spritesLost) retryLostSprites();
    ResultCode code = pointer.dispatch();
    // A failed dispatch ends the game after this frame has still been shown.
    if (result::failed(code) || (code & result::kStartUpFailed)) running = false;
    lastClockReading = clock.now();
    cityScreen.draw();
    if (primarySurface->Flip(nullptr, DDFLIP_WAIT) == DDERR_SURFACELOST) recoverLostSurfaces();
}

void Application::recoverLostSurfaces() {
    // A failing display surface ends the recovery for this frame; the next
    // flip fails too and tries again. The sprites are tried again before each
    // frame meanwhile: restoring the primary surface may have brought the
    // back buffer back already, and then no flip fails again.
    if (FAILED(primarySurface->Restore()) || FAILED(backBuffer->Restore())) {
        spritesLost = true;
        return;
    }
    restoreSprites();
}

ResultCode Application::restoreSprites() {
    ResultCode code = SpriteRegistry::instance().restoreAll();
    // The sprites that did come back get their pictures whatever happened to
    // the others, which are tried again before each frame until they return:
    // otherwise one sprite that failed would leave every picture blank.
    spritesLost = result::failed(code);
    cityScreen.reloadArt();
    return code;
}

void Application::retryLostSprites() {
    if (!result::failed(SpriteRegistry::instance().restoreAll())) {
        spritesLost = false;
        cityScreen.reloadArt();
    }
}

ResultCode Application::restoreSurfaces() {
    if (!primarySurface || !backBuffer) return 0;  // the display is already gone
    if (FAILED(primarySurface->Restore())) return 0;
    if (FAILED(backBuffer->Restore())) return 0;
    ResultCode code = restoreSprites();
    return result::failed(code) ? code : 1;
}
