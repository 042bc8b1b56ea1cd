// A host that hands every call to another one: the benchmarks' measuring
// hosts derive from it and change only what they measure.
#pragma once

#include <memory>
#include <string>

#include "varnholt/host.h"

namespace bench {

class ForwardingHost : public vh::platform::Host {
  public:
    explicit ForwardingHost(std::unique_ptr<vh::platform::Host> inner) : inner_(std::move(inner)) {}
    bool openWindow(std::string& whyNot) override { return inner_->openWindow(whyNot); }
    void closeWindow() override { inner_->closeWindow(); }
    bool hasDisplay() override { return inner_->hasDisplay(); }
    void enterFullScreen(int w, int h) override { inner_->enterFullScreen(w, h); }
    void leaveFullScreen() override { inner_->leaveFullScreen(); }
    int screenWidth() override { return inner_->screenWidth(); }
    int screenHeight() override { return inner_->screenHeight(); }
    bool pollEvent(vh::platform::HostEvent& event) override { return inner_->pollEvent(event); }
    bool waitEvent() override { return inner_->waitEvent(); }
    void present(SDL_Surface* frame) override { inner_->present(frame); }
    int64_t nanoseconds() override { return inner_->nanoseconds(); }
    PresentCounts presentCounts() const override { return inner_->presentCounts(); }

  protected:
    std::unique_ptr<vh::platform::Host> inner_;
};

}  // namespace bench
