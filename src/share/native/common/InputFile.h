// A regular file open for reading, as an input stream. Whatever is not a
// regular file once links are followed is refused before it is opened, so a
// FIFO or a device is never opened; the descriptor read from is checked again,
// so nothing can be swapped in between. Opening never blocks.
#ifndef LX_SHARE_COMMON_INPUTFILE_H
#define LX_SHARE_COMMON_INPUTFILE_H

#include <istream>
#include <memory>
#include <string>

class InputFile : public std::istream {
 public:
  // Throws "Error opening \"<path>\" file: <reason>" when the path cannot be
  // opened or names no regular file.
  explicit InputFile(const std::string& path);
  ~InputFile() override;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

 private:
  class Buffer;
  std::unique_ptr<Buffer> buffer;
};

#endif
