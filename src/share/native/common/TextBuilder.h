// tstrings::any, the text builder in which every error message and log text is
// assembled: a string stream that appends anything a standard stream can write.
#ifndef LX_SHARE_COMMON_TEXTBUILDER_H
#define LX_SHARE_COMMON_TEXTBUILDER_H

#include <sstream>
#include <string>

namespace tstrings {

class any {
 public:
  any() = default;
  any(const std::string& text) { data << text; }  // NOLINT: converting on purpose
  any(const char* text) { data << text; }         // NOLINT: converting on purpose

  template <class T>
  any& operator<<(const T& value) {
    data << value;
    return *this;
  }

  // A copy of the text so far; the builder stays usable.
  std::string str() const { return data.str(); }

 private:
  std::ostringstream data;
};

}  // namespace tstrings

#endif
