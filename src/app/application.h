#pragma once

namespace kavo {

// Starts the program: checks that there is a display, creates the main window,
// shows it and runs the event loop until the program ends. Returns the exit
// status.
int runApplication(int argc, char** argv);

}  // namespace kavo
