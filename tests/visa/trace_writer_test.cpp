// The trace writer's bounded queue: a file that stops taking lines never stops the callers;
// what did not fit is counted, and the count is written as soon as there is room again.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <thread>

#include "trace_writer.h"

namespace {

TEST(TraceWriter, FullQueueDropsAndCountsWithoutStallingTheCaller) {
  int pipe_fds[2];
  ASSERT_EQ(pipe2(pipe_fds, O_CLOEXEC), 0);
  // Nobody reads the pipe yet: once it is full, the writer thread is stuck in write().
  auto writer = std::make_unique<hnvqr::trace::TraceWriter>(pipe_fds[1], 16);
  const std::string line(1024, 'x');
  for (int i = 0; i < 2000; ++i) writer->post(line);
  EXPECT_GT(writer->droppedTotal(), 0u);

  std::string written;
  std::thread reader([&] {
    char buffer[65536];
    for (ssize_t n; (n = read(pipe_fds[0], buffer, sizeof buffer)) > 0;) written.append(buffer, n);
  });
  bool posted = false;
  for (int i = 0; i < 2000 && !posted; ++i) {
    posted = writer->post("{\"op\":\"after\"}");
    if (!posted) usleep(1000);
  }
  EXPECT_TRUE(posted);
  writer.reset();  // drains, then closes its end: the reader sees the end of the file
  reader.join();
  close(pipe_fds[0]);

  const std::size_t dropped_at = written.find("{\"op\":\"dropped\",\"count\":");
  ASSERT_NE(dropped_at, std::string::npos);
  EXPECT_LT(dropped_at, written.find("{\"op\":\"after\"}"));
  // Every line is in the file or counted as dropped (the failed "after" posts too).
  std::uint64_t counted = 0;
  for (std::size_t at = 0; (at = written.find("\"count\":", at)) != std::string::npos; at += 8)
    counted += std::stoull(written.substr(at + 8));
  std::size_t lines = 0;
  for (std::size_t at = 0; (at = written.find(line, at)) != std::string::npos; at += line.size()) ++lines;
  EXPECT_GE(lines + counted, 2000u);
  EXPECT_LE(lines, 2000u);
  EXPECT_GT(lines, 0u);
}

}  // namespace
