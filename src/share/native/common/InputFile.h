// A regular file open for reading, as an input stream. Opening never blocks
// and refuses whatever is not a regular file once links are followed, so a
// FIFO or a device is never read; the descriptor checked is the one read from,
// so nothing can be swapped in between.
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
