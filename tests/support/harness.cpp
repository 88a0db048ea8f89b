#include "tests/support/harness.h"

namespace veq::test {

Harness::Harness()
    : context{clock,
              messages,
              files,
              documents,
              [this] {
                  auto p = std::make_unique<sim::SimSerialPort>(bus, clock);
                  lastPort = p.get();
                  return std::unique_ptr<SerialPort>(std::move(p));
              },
              {},
              {}} {
    bus.attach(3, panel);
}

}  // namespace veq::test
