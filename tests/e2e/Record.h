// Reading the test runtime library's record back: one Call per entry of
// RLX_Launch, every argument escaped as Escape.h escapes it.
#ifndef LX_TESTS_E2E_RECORD_H
#define LX_TESTS_E2E_RECORD_H

#include <string>
#include <vector>

// What one call of the runtime entry point received.
struct Call {
  std::string header;
  std::string library;
  std::string argc;
  std::vector<std::string> args;  // escaped, see Escape.h
  std::string terminator;
  std::string zeros;
  std::string strings;
  std::string libraryPathVariable;
  std::string descriptors;  // open on entry, as "0,1,2"
  std::string sigpipe;      // SIGPIPE's state on entry, see Descriptors.h
  // Open in the caller once a nested main has returned; like "main returned",
  // it follows the nested call's lines and so is filed under that call.
  std::string descriptorsAfterMain;
  std::vector<std::string> after;  // other lines, such as what a nested main returned
};

std::vector<Call> parseRecord(const std::string& text);

// Every argument escaped, to compare with Call::args.
std::vector<std::string> escaped(const std::vector<std::string>& args);

#endif
