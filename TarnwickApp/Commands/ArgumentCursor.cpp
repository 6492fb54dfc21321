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

tarnwick::Result<std::string_view> ArgumentCursor::value() {
  if (inlineValue_)
    return *inlineValue_;
  if (next_ < arguments_.size())
    return std::string_view(arguments_[next_++]);
  return tarnwick::Failure::because("option " + std::string(current_) + " needs a value");
}

tarnwick::Result<void> ArgumentCursor::takePath(std::string &path, std::string_view what) const {
  if (!path.empty())
    return tarnwick::Failure::because("only one PATH can be " + std::string(what) + " at a time");
  path = std::string(current_);
  return {};
}

} // namespace quillane
