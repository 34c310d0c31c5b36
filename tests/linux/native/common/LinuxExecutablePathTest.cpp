#include <gtest/gtest.h>
#include <sys/auxv.h>

#include <cstring>
#include <string>
#include <vector>

#include "macosx/native/common/ExecutablePath.h"

TEST(LinuxExecutablePathTest, ReportsTheStartPathWhenItFitsAndTheSizeWhenNot) {
  const std::string started = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
  const uint32_t needed = static_cast<uint32_t>(started.size() + 1);

  uint32_t size = 0;
  EXPECT_EQ(-1, _NSGetExecutablePath(nullptr, &size));
  EXPECT_EQ(needed, size);

  // One byte short: nothing is written.
  std::vector<char> buffer(needed + 8, 'x');
  size = needed - 1;
  EXPECT_EQ(-1, _NSGetExecutablePath(buffer.data(), &size));
  EXPECT_EQ(needed, size);
  EXPECT_EQ(std::string(needed + 8, 'x'), std::string(buffer.begin(), buffer.end()));

  for (const uint32_t room : {needed, needed + 8}) {
    size = room;
    EXPECT_EQ(0, _NSGetExecutablePath(buffer.data(), &size)) << room;
    EXPECT_EQ(room, size);
    EXPECT_EQ(started, buffer.data());
  }
}
