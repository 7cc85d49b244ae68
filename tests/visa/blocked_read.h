// A viRead left waiting on a silent instrument, on a thread of its own: for the tests of
// what wakes a blocked read.
#ifndef HNVQR_VISA_TEST_BLOCKED_READ_H
#define HNVQR_VISA_TEST_BLOCKED_READ_H

#include <atomic>
#include <chrono>
#include <thread>

#include "visa.h"

// In hnvqr::visa, the namespace of the VISA layer after its rename; tests still in hnvisa::test
// name the class in full.
namespace hnvqr::visa::test {

class BlockedRead {
 public:
  // Returns once the read has had 100 ms to start waiting.
  explicit BlockedRead(ViSession vi)
      : reader_([this, vi] {
          ViByte buffer[8];
          status_ = viRead(vi, buffer, sizeof buffer, nullptr);
        }) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  BlockedRead(const BlockedRead&) = delete;
  BlockedRead& operator=(const BlockedRead&) = delete;

  // Waits for the read to end and gives its status.
  ViStatus Finish() {
    reader_.join();
    return status_.load();
  }

 private:
  std::atomic<ViStatus> status_{VI_SUCCESS};  // written by the reader thread
  std::thread reader_;
};

}  // namespace hnvqr::visa::test

#endif
