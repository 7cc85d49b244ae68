// Reading a store file with the Win32 file API.
#include "store_file.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace hnvqr::config {
namespace {

// The system's description of a Win32 error, without its trailing line break.
std::string ErrorText(DWORD error) {
  char buffer[256] = {};
  const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        buffer, sizeof buffer, nullptr);
  std::string text(buffer, length);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
    text.pop_back();
  return text.empty() ? "error " + std::to_string(error) : text;
}

struct FileHandleTraits {
  using Handle = HANDLE;
  static bool IsOpen(HANDLE handle) { return handle != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE handle) { ::CloseHandle(handle); }
};
using FileHandle = ScopedFile<FileHandleTraits>;

}  // namespace

StoreFileStatus ReadStoreFile(const std::string& path, std::string& text, std::string& problem) {
  text.clear();
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return StoreFileStatus::Missing;
  } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    problem = "not a regular file";
    return StoreFileStatus::Failed;
  }
  FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return StoreFileStatus::Missing;
    problem = "cannot open the file: " + ErrorText(error);
    return StoreFileStatus::Failed;
  }
  // Devices and pipes are no store files (and a pipe could block the reader for ever).
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
    problem = "not a regular file";
    return StoreFileStatus::Failed;
  }
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size)) {
    problem = "cannot examine the file: " + ErrorText(::GetLastError());
    return StoreFileStatus::Failed;
  }
  const auto readSome = [&](char* buffer, std::size_t capacity) -> std::optional<std::size_t> {
    DWORD count = 0;
    if (!::ReadFile(file.get(), buffer, static_cast<DWORD>(capacity), &count, nullptr)) {
      problem = "cannot read the file: " + ErrorText(::GetLastError());
      return std::nullopt;
    }
    return count;
  };
  return ReadWithinLimit(size.QuadPart, text, problem, readSome);
}

}  // namespace hnvqr::config
