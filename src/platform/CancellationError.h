#pragma once

#include <exception>

namespace talvex {

/// Thrown at a cancellation point when the calling task's CancellationToken was cancelled.
class CancellationError final : public std::exception {
  public:
    const char *what() const noexcept override { return "The operation was cancelled."; }
};

} // namespace talvex
