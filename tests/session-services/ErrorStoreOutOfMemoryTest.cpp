// Makes the allocations of one thread fail on demand, to see the error store keep the code
// when it cannot keep the description.
#include <cstdlib>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "IviSessionServices.h"
#include "SessionTestSupport.h"

namespace {
thread_local bool failAllocations = false;
}

void* operator new(std::size_t size) {
  if (failAllocations) {
    throw std::bad_alloc();
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) {
    return memory;
  }
  throw std::bad_alloc();
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

class FailingAllocations {
 public:
  FailingAllocations() { failAllocations = true; }
  ~FailingAllocations() { failAllocations = false; }
  FailingAllocations(const FailingAllocations&) = delete;
  FailingAllocations& operator=(const FailingAllocations&) = delete;
};

constexpr ViStatus kError = static_cast<ViStatus>(0xBFFA0058);

TEST(ErrorStoreOutOfMemory, KeepsTheCodeAndDropsTheDescription) {
  ScopedSession session;
  const std::string longText(200, 'o');  // too long for any small-string buffer
  ViStatus status = VI_SUCCESS;
  {
    const FailingAllocations failing;
    status = IviSession_SetError(session.get(), kError, longText.c_str());
  }
  EXPECT_EQ(status, IVI_SESSION_ERROR_OUT_OF_MEMORY);

  for (const ViSession vi : {session.get(), static_cast<ViSession>(VI_NULL)}) {
    ViStatus code = 0;
    ViChar text[256] = "junk";
    EXPECT_EQ(IviSession_GetError(vi, sizeof text, &code, text), VI_SUCCESS);
    EXPECT_EQ(code, kError);
    EXPECT_STREQ(text, "");
  }
}

TEST(ErrorStoreOutOfMemory, NewReportsItAndLeaksNothing) {
  const ViInt32 liveBefore = IviSession_GetLiveSessionCount();
  ViSession vi = 99;
  ViStatus status = VI_SUCCESS;
  {
    const FailingAllocations failing;
    status = IviSession_New(&vi);
  }
  EXPECT_EQ(status, IVI_SESSION_ERROR_OUT_OF_MEMORY);
  EXPECT_EQ(vi, VI_NULL);
  EXPECT_EQ(IviSession_GetLiveSessionCount(), liveBefore);
}

}  // namespace
