#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestSupport.h"
#include "share/native/common/Dll.h"
#include "share/native/common/ErrorHandling.h"

namespace {

const std::string kLibrary = LX_DLL_TEST_LIBRARY;
const std::string kLazyLibrary = LX_DLL_LAZY_LIBRARY;

using AnswerFunction = int (*)();

// Asks the loader without taking a reference of our own.
bool isLoaded(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (handle) dlclose(handle);
  return handle != nullptr;
}

int call(void* address) { return reinterpret_cast<AnswerFunction>(address)(); }

// The raw message of the LxError that `action` throws.
template <class Action>
std::string errorOf(Action action) {
  try {
    action();
  } catch (const LxError<std::runtime_error>& e) {
    return e.rawMessage();
  }
  return "no error";
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

class UnixDllTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(isLoaded(kLibrary)) << "loaded before the test"; }
};

TEST_F(UnixDllTest, EachCopyHoldsItsOwnReference) {
  auto first = std::make_unique<Dll>(kLibrary);
  EXPECT_TRUE(isLoaded(kLibrary));
  {
    Dll second(*first);
    Dll third(second);
  }
  EXPECT_TRUE(isLoaded(kLibrary)) << "a copy closed more than its own reference";

  auto copy = std::make_unique<Dll>(*first);
  first.reset();
  ASSERT_TRUE(isLoaded(kLibrary));
  EXPECT_EQ(42, call(copy->getFunction("lxTestAnswer", true)));
  copy.reset();
  EXPECT_FALSE(isLoaded(kLibrary));
}

TEST_F(UnixDllTest, LibraryThatCannotBeLoadedThrows) {
  TempDir tmp;
  writeFile(tmp / "text.so", "not a library");
  for (const std::string& path : {tmp / "missing.so", tmp / "text.so"}) {
    const std::string message = errorOf([&] { Dll library(path); });
    const std::string prefix = "dlopen(" + path + ") failed. Error: ";
    EXPECT_TRUE(startsWith(message, prefix)) << message;
    EXPECT_GT(message.size(), prefix.size()) << "no loader text: " << message;
  }
}

TEST_F(UnixDllTest, MissingSymbol) {
  const Dll library(kLibrary);
  EXPECT_EQ(nullptr, library.getFunction("lxNoSuchFunction", false));

  const std::string message = errorOf([&] { library.getFunction("lxNoSuchFunction", true); });
  const std::string prefix = "dlsym(" + kLibrary + ", lxNoSuchFunction) failed. Error: ";
  EXPECT_TRUE(startsWith(message, prefix)) << message;
  EXPECT_GT(message.size(), prefix.size()) << "no loader text: " << message;

  try {
    library.getFunction("lxNoSuchFunction", true);
  } catch (const std::runtime_error& e) {
    EXPECT_TRUE(startsWith(e.what(), "UnixDll(")) << e.what();
  }
}

TEST_F(UnixDllTest, NullSymbolThrowsWithoutLoaderText) {
  const Dll library(kLibrary);
  // The loader has no text for a null symbol; an earlier failure's text must
  // not stand in for it.
  EXPECT_EQ(nullptr, library.getFunction("lxNoSuchFunction", false));
  EXPECT_EQ(nullptr, library.getFunction("lxNullFunction", false));
  EXPECT_EQ("dlsym(" + kLibrary + ", lxNullFunction) failed. Error: ",
            errorOf([&] { library.getFunction("lxNullFunction", true); }));
}

TEST_F(UnixDllTest, TypedLookup) {
  const Dll library(kLibrary);
  AnswerFunction answer = nullptr;
  library.getFunction("lxTestAnswer", answer);
  ASSERT_NE(nullptr, answer);
  EXPECT_EQ(42, answer());

  answer = nullptr;
  EXPECT_THROW(library.getFunction("lxNoSuchFunction", answer), LxError<std::runtime_error>);
}

TEST_F(UnixDllTest, SymbolsAreBoundLazily) {
  void* eager = dlopen(kLazyLibrary.c_str(), RTLD_NOW);
  if (eager) dlclose(eager);
  ASSERT_EQ(nullptr, eager) << "the library should not load with immediate binding";

  const Dll library(kLazyLibrary);
  EXPECT_NE(nullptr, library.getFunction("lxCallsUndefined", true));
}

TEST_F(UnixDllTest, FreeLibraryClosesOnlyRealHandles) {
  Dll::freeLibrary(nullptr);
  void* handle = dlopen(kLibrary.c_str(), RTLD_LAZY);
  ASSERT_NE(nullptr, handle);
  Dll::freeLibrary(handle);
  EXPECT_FALSE(isLoaded(kLibrary));
}

TEST_F(UnixDllTest, FunctionFromTemporaryLibraryStaysCallable) {
  {
    const DllFunction<void*> answer(Dll(kLibrary), "lxTestAnswer");
    ASSERT_TRUE(isLoaded(kLibrary));
    EXPECT_EQ(42, call(answer));
  }
  EXPECT_FALSE(isLoaded(kLibrary));
}

TEST_F(UnixDllTest, FunctionCopyHoldsItsOwnReference) {
  auto first = std::make_unique<DllFunction<void*>>(Dll(kLibrary), "lxTestAnswer");
  const DllFunction<void*> copy(*first);
  first.reset();
  ASSERT_TRUE(isLoaded(kLibrary));
  EXPECT_EQ(42, call(copy));
}

TEST_F(UnixDllTest, FunctionLookupFailureReleasesItsReference) {
  for (const char* name : {"lxNoSuchFunction", "lxNullFunction"}) {
    const std::string message = errorOf([&] { DllFunction<void*>(Dll(kLibrary), name); });
    EXPECT_TRUE(startsWith(message, "dlsym(" + kLibrary + ", " + name + ") failed. Error: "))
        << message;
    EXPECT_FALSE(isLoaded(kLibrary)) << name;
  }
}
