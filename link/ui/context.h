#pragma once

#include <functional>
#include <memory>

#include "link/clock.h"
#include "link/platform.h"
#include "link/serialport.h"

namespace veq {

class ConfigurationWindow;

// What every window of the application is built with: the platform parts, and the way to the
// link settings window, which owns the serial port. The main window fills in `configuration`;
// it creates the link settings window the first time it is referred to.
struct WindowContext {
    Clock& clock;
    Messages& messages;
    FileDialogs& files;
    DocumentOpener& documents;
    std::function<std::unique_ptr<SerialPort>()> makePort;
    std::function<ConfigurationWindow&()> configuration;
};

}  // namespace veq
