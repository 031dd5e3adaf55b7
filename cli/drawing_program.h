#pragma once
// kestrand-cli leaves the commands that draw to its drawing half, kestrand-cli-draw.so: the same
// commands built with the drawing libraries, loaded into this process only when a command draws,
// so that the others start without them. It lies beside kestrand-cli (the build tree) or in
// ../lib/kestrand-upload/ from it (installed).

namespace kestrand::cli {

// Loads the drawing half and runs the whole command line there, in place of this program's main:
// no Qt application may exist yet. Returns its exit status, or 1 after saying on standard error
// why it could not be loaded.
int runDrawingProgram(int argc, char** argv);

}  // namespace kestrand::cli
