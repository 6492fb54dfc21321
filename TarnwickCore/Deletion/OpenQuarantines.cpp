#include "TarnwickCore/Deletion/OpenQuarantines.h"

#include <optional>
#include <utility>

namespace tarnwick {

std::vector<Failure> OpenQuarantines::closeForExit() {
  const std::unique_lock<std::mutex> inTurn = turn();
  closed_ = true;
  std::vector<Failure> left;
  for (RemovalQuarantine::State *state : std::exchange(open_, {}))
    if (std::optional<Failure> failure = RemovalQuarantine::finishForExit(*state))
      left.push_back(std::move(*failure));
  return left;
}

} // namespace tarnwick
