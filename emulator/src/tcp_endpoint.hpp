// Opening the listening socket of the TCP front end.
#pragma once

#include <cstdint>
#include <string>

namespace vqrsim::detail {

// A listening IPv4 socket (non-blocking, close-on-exec) on host ("localhost" stands for
// 127.0.0.1) and port (0 for an ephemeral one). Returns the fd and the bound port, or -1
// with a reason in error.
int open_tcp_listener(const std::string& host, std::uint16_t port, std::uint16_t& bound_port, std::string& error);

// Accepts one pending connection as a non-blocking fd with TCP_NODELAY; -1 when none.
int accept_client(int listener);

}  // namespace vqrsim::detail
