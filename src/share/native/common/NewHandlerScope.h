// Installs a new-handler for the scope's lifetime and puts back the one it
// replaced, also when the scope is left by an exception.
#ifndef LX_SHARE_COMMON_NEWHANDLERSCOPE_H
#define LX_SHARE_COMMON_NEWHANDLERSCOPE_H

#include <new>

class NewHandlerScope {
 public:
  // nullptr restores the C++ runtime's own behaviour: throw std::bad_alloc.
  explicit NewHandlerScope(std::new_handler handler) : saved(std::set_new_handler(handler)) {}
  ~NewHandlerScope() { std::set_new_handler(saved); }
  NewHandlerScope(const NewHandlerScope&) = delete;
  NewHandlerScope& operator=(const NewHandlerScope&) = delete;

 private:
  const std::new_handler saved;
};

#endif
