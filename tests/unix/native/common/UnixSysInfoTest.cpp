#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "TestSupport.h"
#include "share/native/common/ErrorHandling.h"
#include "share/native/common/SysInfo.h"

namespace {

const char* const kName = "LX_SYSINFO_TEST_VARIABLE";

}  // namespace

TEST(UnixSysInfoTest, SetVariable) {
  ScopedEnv env(kName, "old");
  EXPECT_EQ("old", SysInfo::getEnvVariable(kName));
  SysInfo::setEnvVariable(kName, "new value");
  ASSERT_NE(nullptr, getenv(kName));
  EXPECT_STREQ("new value", getenv(kName));
  EXPECT_EQ("new value", SysInfo::getEnvVariable(kName));
  EXPECT_EQ("new value", SysInfo::getEnvVariable(std::nothrow, kName, "default"));
  EXPECT_TRUE(SysInfo::isEnvVariableSet(kName));
}

TEST(UnixSysInfoTest, EmptyValueCountsAsSet) {
  ScopedEnv env(kName);
  SysInfo::setEnvVariable(kName, "");
  EXPECT_EQ("", SysInfo::getEnvVariable(kName));
  EXPECT_EQ("", SysInfo::getEnvVariable(std::nothrow, kName, "default"));
  EXPECT_TRUE(SysInfo::isEnvVariableSet(kName));
}

TEST(UnixSysInfoTest, UnsetVariable) {
  ScopedEnv env(kName);
  EXPECT_FALSE(SysInfo::isEnvVariableSet(kName));
  EXPECT_EQ("default", SysInfo::getEnvVariable(std::nothrow, kName, "default"));
  try {
    SysInfo::getEnvVariable(kName);
    FAIL() << "expected an error";
  } catch (const LxError<std::runtime_error>& e) {
    EXPECT_EQ(std::string("getenv(") + kName + ") failed. Variable not set", e.rawMessage());
    EXPECT_EQ(0, std::string(e.what()).rfind("UnixSysInfo(", 0)) << e.what();
  }
}

TEST(UnixSysInfoTest, SetVariableWithInvalidNameThrows) {
  for (const std::string name : {"A=B", ""}) {
    try {
      SysInfo::setEnvVariable(name, "v");
      ADD_FAILURE() << "no error for '" << name << "'";
    } catch (const LxError<std::runtime_error>& e) {
      EXPECT_EQ("setenv(" + name + ", v) failed. Error: " + strerror(EINVAL), e.rawMessage());
    }
  }
  EXPECT_EQ(nullptr, getenv("A"));
}
