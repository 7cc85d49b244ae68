// The loopback instrument the TCP tests talk to.
#ifndef HNVISA_TEST_INSTRUMENT_HANDLER_H
#define HNVISA_TEST_INSTRUMENT_HANDLER_H

#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "loopback_server.h"

namespace hnvqr::visa::test {

// Counts the late answers sent, so a test can wait for one without guessing a delay.
inline std::atomic<int> lateRepliesSent{0};

// Answers line by line until the client leaves or a line asks it to go.
inline void scriptedInstrument(int connection, const LoopbackServer* server) {
  std::string line;
  while (LoopbackServer::readLine(connection, line, server)) {
    if (line == "SPLIT?\n") {
      LoopbackServer::writeAll(connection, "12");
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      LoopbackServer::writeAll(connection, "3.");
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      LoopbackServer::writeAll(connection, "5\n");
    } else if (line == "MULTI?\n") {
      LoopbackServer::writeAll(connection, "1\n2\n3\n");
    } else if (line == "*IDN?\n") {
      LoopbackServer::writeAll(connection, "HALVORN,VQR60-10,SN1,1.0.2\n");
    } else if (line == "LATE?\n") {
      std::this_thread::sleep_for(std::chrono::milliseconds(400));
      LoopbackServer::writeAll(connection, "LATE\n");
      ++lateRepliesSent;
    } else if (line.rfind("Q ", 0) == 0) {
      LoopbackServer::writeAll(connection, line.substr(2));
    } else if (line == "CLOSE\n") {
      return;
    } else if (line == "RESET\n") {
      const linger abortive{1, 0};
      ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
      return;
    }
    // Anything else, SILENT? included, gets no answer.
  }
}

}  // namespace hnvqr::visa::test

#endif
