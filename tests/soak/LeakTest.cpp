// Init/close cycles, live and simulated, failing ones included: afterwards the process holds
// no more descriptors than before and no driver session is left alive. (Memory is covered
// by AddressSanitizer's leak checker in the sanitizer build.)
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>

#include <visa.h>

#include "HnVQR.h"
#include "IviSessionServices.h"
#include "LiveFixture.h"
#include "vqrsim/server.hpp"

namespace {

// 10,000 cycles, 4,000 of them connecting to the emulator: about 2 s on loopback here, 7 s
// under a sanitizer, so the default run keeps the full count.
// HNVQR_LEAK_CYCLES sets another count; HNVQR_SOAK_SECONDS keeps cycling that long.
constexpr int kDefaultCycles = 10000;

int CycleCount() {
  if (const char* count = std::getenv("HNVQR_LEAK_CYCLES")) return std::max(1, std::atoi(count));
  return kDefaultCycles;
}

std::chrono::seconds SoakDuration() {
  const char* seconds = std::getenv("HNVQR_SOAK_SECONDS");
  return std::chrono::seconds(seconds ? std::atoi(seconds) : 0);
}

// A loopback port nobody listens on: bound once, noted, closed.
std::string RefusedResource() {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  close(probe);
  return "TCPIP0::127.0.0.1::" + std::to_string(ntohs(address.sin_port)) + "::SOCKET";
}

ViStatus Init(const std::string& resource, const char* options, ViSession& vi) {
  vi = VI_NULL;
  return HnVQR_InitWithOptions(const_cast<ViRsrc>(resource.c_str()), VI_TRUE, VI_FALSE, options, &vi);
}

TEST(Leaks, InitCloseCyclesLeaveNoDescriptorOrSessionBehind) {
  vqrsim::Server server(vqrsim::ServerOptions{"VQR-A4", 1e6, false});
  const std::string live = server.start_tcp();
  const std::string refused = RefusedResource();
  // Warm up once, so that what lives for the whole process (the resource manager's first
  // use, one-time tables) is not counted as a leak.
  ViSession vi = VI_NULL;
  ASSERT_EQ(Init(live, "", vi), VI_SUCCESS) << live::LastError(VI_NULL);
  ASSERT_EQ(HnVQR_close(vi), VI_SUCCESS);
  ASSERT_EQ(Init("GPIB0::5::INSTR", "Simulate=1", vi), VI_SUCCESS);
  ASSERT_EQ(HnVQR_close(vi), VI_SUCCESS);
  ASSERT_TRUE(live::DescriptorCountReturnsTo(live::OpenDescriptorCount()));

  const int descriptors = live::OpenDescriptorCount();
  const ViInt32 sessions = IviSession_GetLiveSessionCount();
  const int cycles = CycleCount();
  const auto deadline = std::chrono::steady_clock::now() + SoakDuration();
  int unexpected = 0;
  int done = 0;
  for (; done < cycles || std::chrono::steady_clock::now() < deadline; ++done) {
    ViStatus status = VI_SUCCESS;
    ViStatus expected = VI_SUCCESS;
    switch (done % 10) {
      case 0:
      case 1:
      case 2:  // live, and used once
        status = Init(live, "QueryInstrStatus=1", vi);
        if (status == VI_SUCCESS) {
          ViReal64 volts = -1;
          status = HnVQR_MeasureVoltage(vi, &volts);
        }
        break;
      case 3:  // live, an unknown model: fails after the link was opened
        server.override_reply("*IDN?", "Halvorn,VQR-Z9,SIM1,1.0\n", 1);
        status = Init(live, "", vi);
        expected = IVI_ERROR_CANNOT_RECOVER;
        break;
      case 4:  // nobody listens
        status = Init(refused, "", vi);
        expected = VI_ERROR_RSRC_NFOUND;
        break;
      case 5:  // a bad option value
        status = Init("GPIB0::5::INSTR", "Simulate=maybe", vi);
        expected = IVI_ERROR_BAD_OPTION_VALUE;
        break;
      case 6:  // an unknown option name
        status = Init("GPIB0::5::INSTR", "Simulate=1, Colour=1", vi);
        expected = IVI_ERROR_BAD_OPTION_NAME;
        break;
      default:  // simulated
        status = Init("GPIB0::5::INSTR", "Simulate=1", vi);
        break;
    }
    if (status != expected) {
      if (++unexpected <= 10) ADD_FAILURE() << "cycle " << done << ": status 0x" << std::hex << status;
    }
    if (expected == VI_SUCCESS && vi != VI_NULL) {
      if (HnVQR_close(vi) != VI_SUCCESS && ++unexpected <= 10) ADD_FAILURE() << "close failed in cycle " << done;
    } else if (vi != VI_NULL && ++unexpected <= 10) {
      ADD_FAILURE() << "a failed initialization handed out session " << vi << " in cycle " << done;
    }
  }
  EXPECT_EQ(unexpected, 0);
  EXPECT_TRUE(live::DescriptorCountReturnsTo(descriptors))
      << live::OpenDescriptorCount() << " descriptors open, " << descriptors << " before " << done << " cycles";
  EXPECT_EQ(IviSession_GetLiveSessionCount(), sessions);
  server.stop();
}

}  // namespace
