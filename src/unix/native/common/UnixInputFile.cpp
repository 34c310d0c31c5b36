#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <streambuf>

#include "share/native/common/ErrorHandling.h"
#include "share/native/common/InputFile.h"
#include "unix/native/common/OwnDescriptor.h"

namespace {

// Thrown by a failed read; the stream catches it and sets its badbit, with
// errno still telling why.
struct ReadFailure {};

// Why `info`, from a stat call that returned `result`, names no file to read;
// empty when it names a regular file.
std::string refusal(int result, const struct stat& info) {
  return result != 0             ? lastCRTError()
         : S_ISREG(info.st_mode) ? std::string()
         : S_ISDIR(info.st_mode) ? std::strerror(EISDIR)
                                 : "Not a regular file";
}

// Opening is a side effect of its own (it releases a writer blocked on a FIFO,
// and acts on some devices), so the path is checked first; the descriptor is
// checked again, as a file may be swapped in between. Non-blocking, so that
// even then a FIFO without a writer cannot hang the launcher.
int openRegularFile(const std::string& path) {
  struct stat info;
  std::string reason = refusal(stat(path.c_str(), &info), info);
  if (!reason.empty()) LX_THROW("Error opening \"" << path << "\" file: " << reason);
  const int fd = ownDescriptor(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd < 0) LX_THROW_SYSTEM_ERROR("Error opening \"" << path << "\" file: ");
  reason = refusal(fstat(fd, &info), info);
  if (reason.empty()) return fd;
  close(fd);
  LX_THROW("Error opening \"" << path << "\" file: " << reason);
}

}  // namespace

class InputFile::Buffer : public std::streambuf {
 public:
  explicit Buffer(const std::string& path) : fd(openRegularFile(path)) {}
  ~Buffer() override { ::close(fd); }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;

 protected:
  int_type underflow() override {
    ssize_t length;
    do {
      length = ::read(fd, data, sizeof data);
    } while (length < 0 && errno == EINTR);
    if (length < 0) throw ReadFailure();
    if (length == 0) return traits_type::eof();
    setg(data, data, data + length);
    return traits_type::to_int_type(data[0]);
  }

 private:
  const int fd;
  char data[1 << 13];
};

InputFile::InputFile(const std::string& path)
    : std::istream(nullptr), buffer(std::make_unique<Buffer>(path)) {
  rdbuf(buffer.get());
}

InputFile::~InputFile() = default;
