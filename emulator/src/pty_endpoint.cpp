#include "pty_endpoint.hpp"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace vqrsim::detail {
namespace {

struct BaudRow {
  speed_t code;
  double baud;
};

constexpr std::array<BaudRow, 18> kBaudRates{{
    {B50, 50},
    {B75, 75},
    {B110, 110},
    {B134, 134.5},
    {B150, 150},
    {B200, 200},
    {B300, 300},
    {B600, 600},
    {B1200, 1200},
    {B2400, 2400},
    {B4800, 4800},
    {B9600, 9600},
    {B19200, 19200},
    {B38400, 38400},
    {B57600, 57600},
    {B115200, 115200},
    {B230400, 230400},
    {B460800, 460800},
}};

}  // namespace

int open_pty_master(std::string& slave_path, std::string& error) {
  const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = std::string("posix_openpt: ") + std::strerror(errno);
    return -1;
  }
  char name[128] = {};
  if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0) {
    error = std::string("pseudo-terminal setup: ") + std::strerror(errno);
    close(fd);
    return -1;
  }
  // Raw from the start: with the default cooked mode the line discipline would echo
  // every reply straight back to the emulator as if the client had sent it.
  termios settings{};
  if (tcgetattr(fd, &settings) == 0) {
    cfmakeraw(&settings);
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    tcsetattr(fd, TCSANOW, &settings);
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  slave_path = name;
  return fd;
}

double pty_characters_per_second(int master) {
  termios settings{};
  if (tcgetattr(master, &settings) != 0) return 0;
  const speed_t speed = cfgetospeed(&settings);
  for (const BaudRow& row : kBaudRates) {
    if (row.code == speed) return row.baud / 10.0;
  }
  return 0;
}

void flush_pty(int master, const std::string& slave_path) {
  tcflush(master, TCIOFLUSH);
  // Bytes written while no client had the slave open wait in the slave's own input
  // buffer, which only a flush on the slave side reaches.
  const int slave = open(slave_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave >= 0) {
    tcflush(slave, TCIOFLUSH);
    close(slave);
  }
}

}  // namespace vqrsim::detail
