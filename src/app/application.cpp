#include "app/application.h"

#include "display/sprite_registry.h"

Application& Application::instance() {
    static Application* application = new Application();
    return *application;
}

ResultCode Application::initialize(const char* windowTitle, HINSTANCE instance) {
    moduleInstance = instance;
    title = windowTitle;

    ResultCode code = createWindow();
    if (result::failed(code)) return code;
    code = initDisplay();
    if (result::failed(code)) return code;
    code = SpriteRegistry::instance().setTarget(backBuffer);
    if (result::failed(code)) return code;

    // A missing picture does not stop start-up: what is left undrawn shows.
    cityScreen.createSidebarSprites();
    cityScreen.loadSidebarArt();
    cityScreen.createMap();

    initialised = true;
    return 1;
}
