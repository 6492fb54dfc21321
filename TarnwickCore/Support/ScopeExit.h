#pragma once

#include <concepts>
#include <type_traits>
#include <utility>

namespace tarnwick {

/// Runs an action when the scope that holds it ends, however it ends (a
/// return, an exception): the way to undo something on every exit path.
///
///   ++waiters;
///   const ScopeExit stopWaiting([&] { --waiters; });
///
/// Move-only; a guard moved from runs nothing, so a function may build one
/// and return it. The action runs once and may run during unwinding, so it
/// must not throw.
template <std::invocable Action>
  requires std::is_nothrow_move_constructible_v<Action>
class [[nodiscard]] ScopeExit {
public:
  explicit ScopeExit(Action action) noexcept : action_(std::move(action)) {}
  ScopeExit(ScopeExit &&other) noexcept : action_(std::move(other.action_)), armed_(std::exchange(other.armed_, false)) {}
  ScopeExit(const ScopeExit &) = delete;
  ScopeExit &operator=(const ScopeExit &) = delete;
  ScopeExit &operator=(ScopeExit &&) = delete;
  ~ScopeExit() {
    if (armed_)
      action_();
  }

private:
  Action action_;
  bool armed_ = true;
};

} // namespace tarnwick
