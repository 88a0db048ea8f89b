#pragma once

#include <memory>

#include "panelsim/model/simport.h"
#include "tests/support/fakes.h"
#include "ui/context.h"

namespace veq::test {

// Everything a window needs, made of fakes: a manual clock, recorded message boxes and dialogs,
// and serial ports on a simulated bench where COM3 holds a panel.
struct Harness {
    Harness();

    // The serial port the link settings window made last (its MSComm1).
    sim::SimSerialPort& port() { return *lastPort; }

    ManualClock clock{1000.0};
    FakeMessages messages;
    FakeFileDialogs files;
    FakeDocumentOpener documents;
    sim::SimBus bus;
    std::shared_ptr<sim::Panel> panel = std::make_shared<sim::Panel>();
    sim::SimSerialPort* lastPort = nullptr;
    WindowContext context;
};

}  // namespace veq::test
