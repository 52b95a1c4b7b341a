#pragma once

class QApplication;

// The program's start-up and shutdown, in the order the rest of the program
// relies on: the title, the main window (FormCreate), the data module, the
// grids bound to it, then the event loop shows the window (FormShow).
namespace Startup {

// Runs the start-up steps before the event loop. Returns true with the main
// window and the data module made; on a failure to open the books it shows
// the "Application Error" box, releases what was made and returns false.
bool start();

// Releases the data module and the main window, closing every dataset.
void finish();

// The whole program: start, the event loop, finish. Returns the exit code
// (1 when start-up failed).
int run(QApplication &app);

} // namespace Startup
