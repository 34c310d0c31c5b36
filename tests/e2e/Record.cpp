#include "Record.h"

#include <sstream>

#include "Escape.h"

std::vector<Call> parseRecord(const std::string& text) {
  std::vector<Call> calls;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const std::string::size_type eq = line.find('=');
    const std::string key = line.substr(0, eq);
    const std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
    if (key == "call") {
      calls.push_back(Call());
      calls.back().header = value;
    } else if (calls.empty()) {
      continue;
    } else if (key == "library") {
      calls.back().library = value;
    } else if (key == "argc") {
      calls.back().argc = value;
    } else if (key == "arg") {
      calls.back().args.push_back(value);
    } else if (key == "argv[argc]") {
      calls.back().terminator = value;
    } else if (key == "zeros") {
      calls.back().zeros = value;
    } else if (key == "strings") {
      calls.back().strings = value;
    } else if (key == "DYLD_LIBRARY_PATH") {
      calls.back().libraryPathVariable = value;
    } else if (key == "fds") {
      calls.back().descriptors = value;
    } else if (key == "sigpipe") {
      calls.back().sigpipe = value;
    } else if (key == "fds after main") {
      calls.back().descriptorsAfterMain = value;
    } else {
      calls.back().after.push_back(line);
    }
  }
  return calls;
}

std::vector<std::string> escaped(const std::vector<std::string>& args) {
  std::vector<std::string> reply;
  for (const std::string& arg : args) reply.push_back(escapeBytes(arg));
  return reply;
}
