#include "TarnwickApp/Commands/ArgumentCursor.h"

namespace quillane {

bool ArgumentCursor::next() {
  if (next_ >= arguments_.size())
    return false;
  current_ = arguments_[next_++];
  inlineValue_.reset();
  if (auto equals = current_.find('='); current_.starts_with("--") && equals != std::string_view::npos) {
    inlineValue_ = current_.substr(equals + 1);
    current_ = current_.substr(0, equals);
  }
  return true;
}

std::optional<std::string_view> ArgumentCursor::value(std::string &error) {
  if (inlineValue_)
    return inlineValue_;
  if (next_ < arguments_.size())
    return std::string_view(arguments_[next_++]);
  error = "option " + std::string(current_) + " needs a value";
  return std::nullopt;
}

bool ArgumentCursor::takePath(std::string &path, std::string &error, std::string_view what) const {
  if (!path.empty()) {
    error = "only one PATH can be " + std::string(what) + " at a time";
    return false;
  }
  path = std::string(current_);
  return true;
}

} // namespace quillane
