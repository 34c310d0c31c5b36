#include "share/native/common/Dll.h"

#include "share/native/common/ErrorHandling.h"

template <>
DllFunction<void*>::operator void*() const {
  if (!address) {
    LX_THROW(name << "() function is not available in " << library.path);
  }
  return address;
}
