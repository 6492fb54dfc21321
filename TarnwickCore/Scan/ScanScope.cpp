#include "TarnwickCore/Scan/ScanScope.h"

namespace tarnwick {

ScanScope ScanScope::forFolder(std::string_view root, std::string_view folder) const {
  ScanScope scope = *this;
  scope.excludesBase.clear();
  while (root.size() > 1 && root.ends_with('/'))
    root.remove_suffix(1);
  if (folder.size() <= root.size() || !folder.starts_with(root))
    return scope;
  std::string_view below = folder.substr(root.size());
  if (!root.ends_with('/') && !below.starts_with('/'))
    return scope; // "/data2" is not below "/data"
  while (below.starts_with('/'))
    below.remove_prefix(1);
  while (below.ends_with('/'))
    below.remove_suffix(1);
  scope.excludesBase = std::string(below);
  return scope;
}

} // namespace tarnwick
