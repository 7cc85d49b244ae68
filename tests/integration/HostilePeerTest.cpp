// A broken or hostile instrument cannot hurt the caller: each behaviour of the scripted peer,
// against each kind of call, gives its status within the I/O time-out, leaves the process's
// memory and descriptors as they were, and the next session on a good link works.
#include <gtest/gtest.h>

#include <visa.h>

#include <fstream>
#include <vector>

#include "HnVQR.h"
#include "HostilePeer.h"
#include "LiveFixture.h"

namespace hostile {
namespace {

using std::chrono::milliseconds;

constexpr ViInt32 kInitTimeoutMs = 2000;  // the I/O time-out a session opens with
constexpr ViInt32 kTimeoutMs = 300;       // set on the session for the other calls
#if defined(__SANITIZE_ADDRESS__)
constexpr long kMemoryGrowthKiB = 16384;  // the sanitizer's allocator and shadow memory grow too
#else
constexpr long kMemoryGrowthKiB = 4096;
#endif

enum class Call { Init, Measure, CheckedCommand, ErrorQuery, DirectIo };

// For each call: its name, the query it sends that the peer answers badly, and the good
// answer to that query (for the trickles). Measure and DirectIo both read a measurement.
struct CallTraits {
  const char* name;
  const char* hostileHeader;
  const char* goodAnswer;
};

const CallTraits& Traits(Call call) {
  static const CallTraits kTraits[] = {
      {"Init", "*IDN?", "Halvorn,VQR-A4,SN1,2.14\n"},
      {"Measure", "MEAS:VOLT?", "1.5\n"},
      {"CheckedCommand", "*ESR?", "0\n"},
      {"ErrorQuery", ":SYST:ERR?", "0,\"No error\"\n"},
      {"DirectIo", "MEAS:VOLT?", "1.5\n"},
  };
  return kTraits[static_cast<int>(call)];
}

long PeakMemoryKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

struct Case {
  const char* name;
  Call call;
  std::function<Behaviour(Call)> behaviour;
  ViStatus expected;
  ViInt32 timeoutMs = kTimeoutMs;  // of the calls after init
};

// Behaviours that make sense against every call.
struct StreamCase {
  const char* name;
  std::function<Behaviour(Call)> behaviour;
  ViStatus expected[5];  // by Call
  // Cases that must finish their reply in time get room for a slow (sanitizer) build.
  ViInt32 timeoutMs = kTimeoutMs;
};

constexpr ViStatus kTmo = VI_ERROR_TMO;
constexpr ViStatus kIo = VI_ERROR_IO;
constexpr ViStatus kLost = VI_ERROR_CONN_LOST;
constexpr ViStatus kBadReply = IVI_ERROR_UNEXPECTED_RESPONSE;

const StreamCase kStreamCases[] = {
    {"Silent", [](Call) { return Silent(); }, {kTmo, kTmo, kTmo, kTmo, kTmo}},
    {"EndlessDigits", [](Call) { return Endless("1234567890"); }, {kTmo, kTmo, kTmo, kTmo, kTmo}},
    {"EndlessCommas", [](Call) { return Endless(","); }, {kTmo, kTmo, kTmo, kTmo, kTmo}},
    {"EndlessText", [](Call) { return Endless("no line end "); }, {kTmo, kTmo, kTmo, kTmo, kTmo}},
    {"EndlessNuls", [](Call) { return Endless(std::string(16, '\0')); }, {kTmo, kTmo, kTmo, kTmo, kTmo}},
    {"HugeLine", [](Call) { return Huge(10u << 20, true); }, {kIo, kIo, kIo, kIo, VI_SUCCESS_TERM_CHAR}, 2000},
    {"HugeLineUnterminated", [](Call) { return Huge(10u << 20, false); }, {kTmo, kTmo, kTmo, kTmo, kTmo}},
    {"TrickleWithinTimeOut",
     [](Call c) { return Trickle(Traits(c).goodAnswer, milliseconds(15), false); },
     {VI_SUCCESS, VI_SUCCESS, VI_SUCCESS, VI_SUCCESS, VI_SUCCESS_TERM_CHAR},
     1000},
    {"TrickleForEver", [](Call) { return Trickle("1", milliseconds(100), true); }, {kTmo, kTmo, kTmo, kTmo, kTmo}},
    {"BinaryGarbage",
     [](Call) {
       std::string noise;
       for (int i = 0; i < 4096; ++i) noise += static_cast<char>((i * 7919 + 13) % 256);
       return Answer(noise + "\n");
     },
     {kIo, kIo, kIo, kBadReply, VI_SUCCESS_TERM_CHAR}},
    {"ClosedMidReply", [](Call) { return CutMidReply(false); }, {kLost, kLost, kLost, kLost, kLost}},
    {"ResetMidReply", [](Call) { return CutMidReply(true); }, {kLost, kLost, kLost, kLost, kLost}},
    {"NeverReads", [](Call) { return NeverReadsAgain(); }, {kTmo, kTmo, kTmo, kTmo, kTmo}},
};

// Behaviours of one query in particular.
const Case kAnswerCases[] = {
    {"IdentityWithTooFewFields", Call::Init, [](Call) { return Answer("Halvorn,VQR-A4\n"); }, kIo},
    {"IdentityWithTooManyFields", Call::Init, [](Call) { return Answer("Halvorn,VQR-A4,SN1,2.14,x,y\n"); }, VI_SUCCESS},
    {"IdentityWithOverlongFields", Call::Init,
     [](Call) { return Answer(std::string(300, 'H') + "," + std::string(300, 'V') + ",SN1,2.14\n"); }, kIo},
    {"StatusMalformed", Call::CheckedCommand, [](Call) { return Answer("ready\n"); }, kIo},
    {"StatusNegative", Call::CheckedCommand, [](Call) { return Answer("-1\n"); }, IVI_ERROR_INSTRUMENT_STATUS},
    {"StatusHugeNumber", Call::CheckedCommand, [](Call) { return Answer(std::string(5000, '9') + "\n"); }, kIo},
    {"ErrorMalformed", Call::ErrorQuery, [](Call) { return Answer("garbage\n"); }, kBadReply},
    {"ErrorNegative", Call::ErrorQuery, [](Call) { return Answer("-113,\"Undefined header\"\n"); }, VI_SUCCESS},
    {"ErrorCodeHuge", Call::ErrorQuery, [](Call) { return Answer(std::string(5000, '9') + ",\"x\"\n"); }, kBadReply},
};

std::vector<Case> AllCases() {
  std::vector<Case> cases(std::begin(kAnswerCases), std::end(kAnswerCases));
  for (const StreamCase& stream : kStreamCases)
    for (int call = 0; call < 5; ++call)
      cases.push_back(
          {stream.name, static_cast<Call>(call), stream.behaviour, stream.expected[call], stream.timeoutMs});
  return cases;
}

// Large enough that the kernel's buffers cannot take it all when the peer stops reading.
constexpr std::size_t kBigWrite = 4u << 20;
std::vector<ViByte>& BigWrite() {
  static std::vector<ViByte> bytes(kBigWrite, 'x');
  return bytes;
}

ViStatus Open(const Peer& peer, const char* options, ViSession* vi) {
  return HnVQR_InitWithOptions(const_cast<ViRsrc>(peer.resource().c_str()), VI_TRUE, VI_FALSE, options, vi);
}

ViStatus RunCall(Call call, ViSession vi, const Peer& peer, ViSession* opened) {
  ViReal64 volts = 0;
  switch (call) {
    case Call::Init:
      return Open(peer, "QueryInstrStatus=0", opened);
    case Call::Measure:
      return HnVQR_MeasureVoltage(vi, &volts);
    case Call::CheckedCommand:
      return HnVQR_ConfigureVoltageLevel(vi, "CH1", 12.0);
    case Call::ErrorQuery: {
      ViInt32 code = 0;
      ViChar message[256];
      return HnVQR_error_query(vi, &code, message);
    }
    case Call::DirectIo: {
      ViInt64 count = 0;
      ViByte query[] = "MEAS:VOLT?\n";
      ViStatus status = HnVQR_viWrite(vi, sizeof query - 1, query, &count);
      if (status < 0) return status;
      ViByte reply[64];
      return HnVQR_viRead(vi, sizeof reply, reply, &count);
    }
  }
  return VI_SUCCESS;
}

class HostilePeerTest : public ::testing::TestWithParam<Case> {};

TEST_P(HostilePeerTest, StatusTimeMemoryAndDescriptorsHold) {
  const Case& c = GetParam();
  BigWrite();
  Peer peer;
  const int descriptors = live::OpenDescriptorCount();
  const long memory = PeakMemoryKiB();

  ViSession vi = VI_NULL;
  ViInt32 timeoutMs = kInitTimeoutMs;
  if (c.call != Call::Init) {
    ASSERT_EQ(Open(peer, c.call == Call::CheckedCommand ? "QueryInstrStatus=1" : "QueryInstrStatus=0", &vi),
              VI_SUCCESS);
    ASSERT_EQ(HnVQR_SetAttributeViInt32(vi, "", HNVQR_ATTR_SYSTEM_IO_TIMEOUT, c.timeoutMs), VI_SUCCESS);
    timeoutMs = c.timeoutMs;
  }
  peer.MakeHostile(Traits(c.call).hostileHeader, c.behaviour(c.call));

  ViSession opened = VI_NULL;
  auto began = Clock::now();
  ViStatus status = RunCall(c.call, vi, peer, &opened);
  if (c.name == std::string("NeverReads") && c.call == Call::DirectIo && status >= 0) {
    // The query went out before the peer stopped reading: now fill the link.
    ViInt64 count = 0;
    began = Clock::now();
    for (int i = 0; i < 8 && status >= 0; ++i) status = HnVQR_viWrite(vi, kBigWrite, BigWrite().data(), &count);
  }
  const auto took = Clock::now() - began;
  EXPECT_EQ(status, c.expected) << live::LastError(vi) << live::LastError(VI_NULL);
  // The time-out bounds the whole call, however the peer behaves.
  EXPECT_LT(took, milliseconds(timeoutMs + timeoutMs / 10 + 150));

  began = Clock::now();
  for (const ViSession session : {vi, opened}) {
    if (session != VI_NULL) {
      EXPECT_EQ(HnVQR_close(session), VI_SUCCESS);
    }
  }
  const auto closing = Clock::now() - began;
  EXPECT_LT(closing, milliseconds(100));
  // The times, for a report (--gtest_output=xml).
  RecordProperty("call_ms", static_cast<int>(std::chrono::duration_cast<milliseconds>(took).count()));
  RecordProperty("close_us", static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(closing).count()));

  // A good link afterwards works as ever.
  peer.Calm();
  ViSession good = VI_NULL;
  ASSERT_EQ(Open(peer, "QueryInstrStatus=1", &good), VI_SUCCESS);
  ViReal64 volts = 0;
  EXPECT_EQ(HnVQR_MeasureVoltage(good, &volts), VI_SUCCESS);
  EXPECT_DOUBLE_EQ(volts, 1.5);
  EXPECT_EQ(HnVQR_close(good), VI_SUCCESS);

  EXPECT_LT(PeakMemoryKiB() - memory, kMemoryGrowthKiB);
  EXPECT_TRUE(live::DescriptorCountReturnsTo(descriptors));
}

INSTANTIATE_TEST_SUITE_P(Behaviours, HostilePeerTest, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<Case>& test) {
                           return std::string(test.param.name) + "_" + Traits(test.param.call).name;
                         });

}  // namespace
}  // namespace hostile
