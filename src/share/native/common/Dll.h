// Scoped access to a shared library loaded at run time. Every Dll and every
// DllFunction holds its own loader reference and closes it when destroyed,
// so a library stays loaded while any object made for it lives.
#ifndef LX_SHARE_COMMON_DLL_H
#define LX_SHARE_COMMON_DLL_H

#include <string>

#include "TextBuilder.h"

class Dll {
 public:
  // Loads the library; throws when the loader refuses it.
  explicit Dll(const tstrings::any& path);
  // Opens the library again, so the copy holds a reference of its own. There
  // is no move: moving copies.
  Dll(const Dll& other);
  Dll& operator=(const Dll&) = delete;
  ~Dll();

  // The symbol's address. A null one throws when `throwIfNotFound` is true
  // and is returned otherwise.
  void* getFunction(const std::string& name, bool throwIfNotFound) const;

  // `address` = the symbol's address converted to T; throws when it is null.
  template <class T>
  void getFunction(const tstrings::any& name, T& address) const {
    address = reinterpret_cast<T>(getFunction(name.str(), true));
  }

  // Closes a loader reference; a null handle is left alone.
  static void freeLibrary(void* handle);

 private:
  template <class T>
  friend class DllFunction;  // names the library in its error message

  std::string path;
  void* handle;
};

// A function looked up in a library together with a reference to that
// library, so it stays callable for as long as this object lives, even when
// the Dll it was made from is gone. Copies take a reference of their own.
template <class T>
class DllFunction {
 public:
  // Throws when the library has no such symbol.
  DllFunction(const Dll& library, const tstrings::any& name)
      : library(library), address(), name(name.str()) {
    this->library.getFunction(name, address);
  }
  DllFunction(const DllFunction&) = default;
  DllFunction& operator=(const DllFunction&) = delete;

  // The function's address; throws when it is null. Defined for void* only.
  operator T() const;

 private:
  Dll library;
  T address;
  std::string name;
};

template <>
DllFunction<void*>::operator void*() const;

#endif
