// A folder of its own under the temporary directory for a test's files, shared by the test
// folders that write files.
#ifndef HNVQR_TESTS_SUPPORT_TEMPORARY_FOLDER_H
#define HNVQR_TESTS_SUPPORT_TEMPORARY_FOLDER_H

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace test_support {

// Made by mkdtemp from `prefix` ("hnvqr-tool" gives hnvqr-tool-XXXXXX) and removed with all
// it holds when the object goes. The path is empty when the folder could not be made.
class TemporaryFolder {
 public:
  explicit TemporaryFolder(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace test_support

#endif
