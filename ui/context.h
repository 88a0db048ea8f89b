#pragma once

#include <functional>
#include <memory>

#include "link/clock.h"
#include "link/platform.h"
#include "link/serialport.h"
#include "link/session.h"

namespace veq {

class ConfigurationWindow;

// What every window of the application is built with: the platform parts, the link session (the
// serial port, its flag and the link settings) and, for the file menu alone, the link settings
// window that edits it. The main window fills in the last two; the link settings window, which
// holds the session, is created the first time either is referred to.
struct WindowContext {
    Clock& clock;
    Messages& messages;
    FileDialogs& files;
    DocumentOpener& documents;
    std::function<std::unique_ptr<SerialPort>()> makePort;
    std::function<LinkSession&()> session;
    std::function<ConfigurationWindow&()> configuration;
};

}  // namespace veq
