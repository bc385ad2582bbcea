// Ctrl-C (SIGINT), SIGTERM and SIGHUP during a render. The first one only
// raises a flag that the render loops look at between frames: they stop,
// remove what they had begun to write, and the command ends with
// exitInterrupted. A second one ends the program at once.
#pragma once

namespace zask {

void watchForInterrupts();
bool interrupted();
// "interrupted (SIGINT)" and the like, for the closing message.
const char* interruptDescription();

}  // namespace zask
