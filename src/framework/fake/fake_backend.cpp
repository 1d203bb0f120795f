#include "framework/fake/fake_backend.h"

#include <algorithm>
#include <stdexcept>

namespace kelvado::fake {

class FakeTimerPeer : public TimerPeer {
 public:
  FakeTimerPeer(FakeBackend& backend, Timer& timer) : backend_(backend), timer_(timer) {
    backend_.timers_.push_back(this);
  }
  ~FakeTimerPeer() override { std::erase(backend_.timers_, this); }
  void start(int intervalMs) override {
    interval_ = intervalMs;
    due_ = backend_.now_ + intervalMs;
  }
  void stop() override { interval_ = 0; }
  bool dueBy(int time) const { return interval_ > 0 && due_ <= time; }
  int due() const { return due_; }
  void fire() {
    due_ += interval_;
    timer_.tick();
  }

 private:
  FakeBackend& backend_;
  Timer& timer_;
  int interval_ = 0;
  int due_ = 0;
};

FakeBackend::FakeBackend() = default;
FakeBackend::~FakeBackend() = default;

std::unique_ptr<FormPeer> FakeBackend::createFormPeer(Form& form) {
  return std::make_unique<FakeFormPeer>(*this, form);
}

std::unique_ptr<TimerPeer> FakeBackend::createTimerPeer(Timer& timer) {
  return std::make_unique<FakeTimerPeer>(*this, timer);
}

void FakeBackend::messageBox(MessageKind kind, const std::string& caption, const std::string& text) {
  messageBoxes.push_back({kind, caption, text});
}

void FakeBackend::advance(int ms) {
  const int target = now_ + ms;
  for (;;) {
    FakeTimerPeer* next = nullptr;
    for (FakeTimerPeer* t : timers_)
      if (t->dueBy(target) && (!next || t->due() < next->due())) next = t;
    if (!next) break;
    now_ = next->due();
    next->fire();
  }
  now_ = target;
}

FakeFormPeer& FakeBackend::peer(const Form& form) const {
  auto it = forms_.find(&form);
  if (it == forms_.end()) throw std::logic_error("form has no peer");
  return *it->second;
}

FakeFormPeer::FakeFormPeer(FakeBackend& backend, Form& form) : backend_(backend), form_(form) {
  const FormDef& d = form.def();
  bounds = {d.left, d.top, d.clientWidth + backend.frameLeft + backend.frameRight,
            d.clientHeight + backend.frameTop + backend.frameBottom};
  caption = d.caption;
  backend_.forms_[&form_] = this;
}

FakeFormPeer::~FakeFormPeer() { backend_.forms_.erase(&form_); }

WindowId FakeFormPeer::windowId() {
  if (id == 0) id = backend_.nextWindowId_++;
  return id;
}

}  // namespace kelvado::fake
