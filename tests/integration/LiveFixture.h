// Live sessions against the emulator, started in-process on an ephemeral loopback port (or
// a pseudo-terminal); the emulator's transcript shows the exact bytes the driver sent.
// With HNVQR_LIVE_ENDPOINT=vxi11 in the environment the same tests reach the emulator as
// TCPIP0::127.0.0.1::INSTR, over VXI-11 and a portmapper of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "HnVQR.h"
#include "../support/LastError.h"
#include "vqrsim/server.hpp"
#include "vqrsim/vxi11_server.hpp"

namespace live {

using test_support::LastError;

// Open file descriptors of this process, to prove that nothing leaks.
inline int OpenDescriptorCount() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
  }
  return count;
}

// The emulator closes its side of a connection on its own thread: give it a moment.
inline bool DescriptorCountReturnsTo(int expected) {
  for (int i = 0; i < 200; ++i) {
    if (OpenDescriptorCount() <= expected) return true;
    usleep(10000);
  }
  return false;
}

class LiveTest : public ::testing::Test {
 protected:
  explicit LiveTest(std::string model = "VQR-A4") : server_(vqrsim::ServerOptions{model, 1e6, false}) {}

  void SetUp() override {
    const char* endpoint = getenv("HNVQR_LIVE_ENDPOINT");
    if (endpoint == nullptr || std::strcmp(endpoint, "vxi11") != 0) {
      resource_ = server_.start_tcp();
      return;
    }
    vxi11_ = std::make_unique<vqrsim::Vxi11Server>(server_);
    resource_ = vxi11_->start();
    setenv("HNVISA_VXI11_PORTMAPPER_PORT", std::to_string(vxi11_->portmapper_port()).c_str(), 1);
  }
  void TearDown() override {
    if (vi_ != VI_NULL) {
      EXPECT_EQ(HnVQR_close(vi_), VI_SUCCESS);
    }
    if (vxi11_) vxi11_->stop();
    server_.stop();
  }

  // Opens the session (identity query included) and forgets the traffic of initialization.
  ViStatus Open(const std::string& options = "") {
    const ViStatus status =
        HnVQR_InitWithOptions(const_cast<ViRsrc>(resource_.c_str()), VI_TRUE, VI_FALSE, options.c_str(), &vi_);
    server_.clear_transcript();
    return status;
  }

  std::vector<std::string> Sent() const { return server_.transcript(); }

  vqrsim::Server server_;
  std::unique_ptr<vqrsim::Vxi11Server> vxi11_;  // the VXI-11 front end, when the run asks for it
  std::string resource_;
  ViSession vi_ = VI_NULL;
};

}  // namespace live
