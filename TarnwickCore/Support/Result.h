#pragma once

#include "TarnwickCore/Support/Failure.h"

#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace tarnwick {

/// The outcome of a fallible operation: its value, or the Failure that
/// prevented it. The part of C++23's std::expected<T, Failure> the project
/// needs, for compilers that do not have it yet.
///
///   Result<Options> options = parseOptions(arguments);
///   if (!options)
///     return usageError(options.failure().message());
///   run(*options);
///
/// A function returns either a T or a Failure; both convert implicitly.
/// Copyable when T is, move-only when T is. Asking a failed result for its
/// value, or a successful one for its failure, is a programming error that
/// throws (std::bad_variant_access) rather than reading garbage.
///
/// Cancellation and the typed refusals stay exceptions; a Result is for
/// failures the caller is expected to handle where it calls.
///
/// Threads: a plain value.
template <typename T>
class [[nodiscard]] Result {
  static_assert(!std::is_same_v<std::remove_cv_t<T>, Failure>, "a Failure is the other alternative, not a value");
  static_assert(!std::is_reference_v<T>, "a Result holds its value");

public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T &value() & { return std::get<0>(state_); }
  const T &value() const & { return std::get<0>(state_); }
  T &&value() && { return std::get<0>(std::move(state_)); }
  T &operator*() & { return value(); }
  const T &operator*() const & { return value(); }
  T &&operator*() && { return std::move(*this).value(); }
  T *operator->() { return &value(); }
  const T *operator->() const { return &value(); }

  const Failure &failure() const { return std::get<1>(state_); }

private:
  std::variant<T, Failure> state_;
};

/// The outcome of a fallible operation that has no value: success (the
/// default) or a Failure. Asking a success for its failure throws
/// (std::bad_optional_access).
template <>
class [[nodiscard]] Result<void> {
public:
  Result() = default;
  Result(Failure failure) : failure_(std::move(failure)) {}

  bool ok() const { return !failure_.has_value(); }
  explicit operator bool() const { return ok(); }

  const Failure &failure() const { return failure_.value(); }

private:
  std::optional<Failure> failure_;
};

} // namespace tarnwick
