#include "FileUtils.h"

#include <string_view>

namespace FileUtils {

namespace {

std::string::size_type findLastSeparator(const std::string& path, std::string::size_type end) {
  while (end > 0) {
    --end;
    if (isDirSeparator(path[end])) return end;
  }
  return std::string::npos;
}

}  // namespace

bool isDirSeparator(char c) { return c == '/' || c == '\\'; }

std::string dirname(const std::string& path) {
  std::string::size_type end = path.size();
  if (end >= 2 && path[end - 1] == '.' && isDirSeparator(path[end - 2])) end -= 2;
  const std::string::size_type sep = findLastSeparator(path, end);
  if (sep == std::string::npos) return std::string();
  std::string::size_type n = sep + 1;
  while (n > 0 && isDirSeparator(path[n - 1])) --n;
  return path.substr(0, n);
}

std::string basename(const std::string& path) {
  const std::string::size_type sep = findLastSeparator(path, path.size());
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string suffix(const std::string& path) {
  const std::string::size_type dot = path.rfind('.');
  if (dot == std::string::npos) return std::string();
  const std::string::size_type sep = findLastSeparator(path, path.size());
  if (sep != std::string::npos && sep > dot) return std::string();
  if (dot == 0) return path;
  if (path[dot - 1] == '.' && (dot == 1 || isDirSeparator(path[dot - 2]))) return std::string();
  return path.substr(dot);
}

std::string combinePath(const std::string& parent, const std::string& child) {
  if (parent.empty()) return child;
  if (child.empty()) return parent;
  const std::string::size_type skip = isDirSeparator(child[0]) ? 1 : 0;
  return removeTrailingSlash(parent) + "/" + child.substr(skip);
}

std::string removeTrailingSlash(const std::string& path) {
  std::string::size_type end = path.size();
  while (end > 0 && isDirSeparator(path[end - 1])) --end;
  return path.substr(0, end);
}

std::string removeDotComponents(const std::string& path) {
  std::string reply;
  std::string::size_type start = 0;
  while (start <= path.size()) {
    std::string::size_type end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string_view part(path.data() + start, end - start);
    if (part == "..") {
      const std::string::size_type last = reply.rfind('/');
      reply.resize(last == std::string::npos ? 0 : last);
    } else if (!part.empty() && part != ".") {
      reply += '/';
      reply += part;
    }
    start = end + 1;
  }
  return reply.empty() ? "/" : reply;
}

std::string normalizePath(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

std::string replaceSuffix(const std::string& path, const std::string& newSuffix) {
  const std::string oldSuffix = suffix(path);
  return path.substr(0, path.size() - oldSuffix.size()) + newSuffix;
}

}  // namespace FileUtils
