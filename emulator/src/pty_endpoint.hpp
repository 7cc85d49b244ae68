// The pseudo-terminal of the serial front end.
#pragma once

#include <string>

namespace vqrsim::detail {

// Opens a new pseudo-terminal master (non-blocking, close-on-exec), unlocked, with the
// line in raw mode at 9600 baud until the client sets its own parameters. Returns the
// master fd and the slave's path, or -1 with a reason in error.
int open_pty_master(std::string& slave_path, std::string& error);

// Characters per second of the line as the client configured it (10 bits a character:
// start, 8 data, stop); 0 when the speed is 0 or unknown (no pacing).
double pty_characters_per_second(int master);

// Throws away what either side has not read yet.
void flush_pty(int master, const std::string& slave_path);

}  // namespace vqrsim::detail
