// Work of the program's start that needs neither the windows nor the window's thread, done on
// threads of their own while the application object and the windows are made.
#pragma once

#include <thread>

namespace planora {

// Reads the font configuration, which the first text laid out on any thread needs. Started
// before the application object is made; join it before the first text is laid out, so that
// the configuration is not read twice.
std::jthread readFontConfiguration();

// Takes the pixel stamps every thread's first drawing starts from. Started once the application
// object exists (declare it after that object, so that it is joined first).
std::jthread takeProcessStamps();

// Connects to the session bus, which the main window's menu bar asks whether the desktop shows
// application menus of its own; where there is no bus, finding that out takes a while. Started
// once the application object exists (declare it after that object).
std::jthread connectSessionBus();

}  // namespace planora
