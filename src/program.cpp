#include "program.h"

#include "kelvado_.h"
#include "setei.h"
#include "vajhel.h"

namespace kelvado {

Program::Program(Backend& backend, Platform& platform)
    : app(backend), platform(platform), monitors(platform.monitors()) {}

Program::~Program() = default;

void Program::start() {
  app.setTitle("ケルバド");
  Form1 = std::make_unique<TForm1>(*this);
  Form1->create();
  Form2 = std::make_unique<TForm2>(*this);
  Form2->create();
  Form3 = std::make_unique<TForm3>(*this);
  Form3->create();
  Form1->registerShortcut();
}

int Program::run() {
  app.run();
  return app.exitStatus();
}

}  // namespace kelvado
