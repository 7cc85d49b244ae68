// Live sessions against the emulator, started in-process on an ephemeral loopback port (or
// a pseudo-terminal); the emulator's transcript shows the exact bytes the driver sent.
#pragma once

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "HnVQR.h"
#include "vqrsim/server.hpp"

namespace live {

inline std::string LastError(ViSession vi) {
  ViStatus code = 0;
  ViChar text[1024] = {};
  HnVQR_GetError(vi, &code, sizeof text, text);
  return text;
}

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

  void SetUp() override { resource_ = server_.start_tcp(); }
  void TearDown() override {
    if (vi_ != VI_NULL) {
      EXPECT_EQ(HnVQR_close(vi_), VI_SUCCESS);
    }
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
  std::string resource_;
  ViSession vi_ = VI_NULL;
};

}  // namespace live
