// Runs a call when the scope ends, however it ends (return, exception), unless released first.
// The one scope guard of the program: a class that owns something for the length of a scope and
// does nothing but give it back builds on this one rather than writing its own destructor.
#pragma once

#include <utility>

namespace base {

template <typename Call>
class ScopeExit {
 public:
  explicit ScopeExit(Call call) : call_(std::move(call)) {}
  ~ScopeExit() {
    if (armed_) call_();
  }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

  // The call will not run: what it would have undone is to be kept.
  void Release() { armed_ = false; }

 private:
  Call call_;
  bool armed_ = true;
};

}  // namespace base
