#pragma once
// kestrand-cli leaves the commands that draw to kestrand-cli-draw, the same commands built with
// the drawing libraries, so that the others start without loading them. The drawing program
// lies beside kestrand-cli (the build tree) or in ../libexec/kestrand-upload/ from it (installed).

namespace kestrand::cli {

// Keeps the command line to hand over; called first thing in main.
void keepCommandLine(char** argv);

// Runs the drawing program in this process's place with the kept command line. Returns only
// when it could not be started: 1, after saying why on standard error.
int runDrawingProgram();

}  // namespace kestrand::cli
