#pragma once

namespace kartovo {

// From now on, a stop from outside (Ctrl+C, SIGINT, SIGTERM, SIGHUP, the
// console window closing) still ends the converter as the system would, but
// leaves no working file of the CSV behind.
void LeaveNoWorkingFileWhenStopped();

}  // namespace kartovo
