// The Dll classes on top of the platform's dynamic loader.
#include <dlfcn.h>

#include "share/native/common/Dll.h"
#include "share/native/common/ErrorHandling.h"

namespace {

// The loader's explanation of its last failure; it may have none.
const char* loaderError() {
  const char* error = dlerror();
  return error ? error : "";
}

void* loadLibrary(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_LAZY);
  if (!handle) {
    const std::string error = loaderError();
    LX_THROW("dlopen(" << path << ") failed. Error: " << error);
  }
  return handle;
}

}  // namespace

Dll::Dll(const tstrings::any& path) : path(path.str()), handle(loadLibrary(this->path)) {}

Dll::Dll(const Dll& other) : path(other.path), handle(loadLibrary(path)) {}

Dll::~Dll() {
  void* released = handle;
  handle = nullptr;
  freeLibrary(released);
}

void* Dll::getFunction(const std::string& name, bool throwIfNotFound) const {
  // Clear an old failure so that the one reported belongs to this lookup.
  dlerror();
  void* address = dlsym(handle, name.c_str());
  if (!address && throwIfNotFound) {
    const std::string error = loaderError();
    LX_THROW("dlsym(" << path << ", " << name << ") failed. Error: " << error);
  }
  return address;
}

void Dll::freeLibrary(void* handle) {
  if (handle) dlclose(handle);
}
