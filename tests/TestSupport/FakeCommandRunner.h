#pragma once

#include "TarnwickCore/Catalogue/SystemCacheItem.h"
#include "TarnwickCore/Support/CommandRunner.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace quillane::test {

/// A CommandRunner that runs nothing: programs named in `installed` are
/// found at /usr/bin/NAME, and each run is recorded and answered from
/// `replies` (keyed by the argv as a shell line, as requested), else with
/// empty output and status 0.
class FakeCommandRunner final : public tarnwick::CommandRunner {
public:
  std::set<std::string> installed;
  std::map<std::string, tarnwick::Result<tarnwick::CommandOutput>> replies;
  std::vector<tarnwick::CommandRequest> requests;

  void reply(const std::string &argvLine, std::string standardOutput, int status = 0, std::string standardError = {}) {
    replies.insert_or_assign(argvLine, tarnwick::CommandOutput{status, false, std::move(standardOutput),
                                                               std::move(standardError)});
  }

  std::optional<std::string> locate(std::string_view program) override {
    const std::string name(program.substr(program.rfind('/') == std::string_view::npos ? 0 : program.rfind('/') + 1));
    if (!installed.contains(name) || (program.find('/') != std::string_view::npos && program != "/usr/bin/" + name))
      return std::nullopt;
    return "/usr/bin/" + name;
  }

  tarnwick::Result<tarnwick::CommandOutput> run(const tarnwick::CommandRequest &request) override {
    requests.push_back(request);
    if (const auto found = replies.find(tarnwick::shellQuoted(request.argv)); found != replies.end())
      return found->second;
    return tarnwick::CommandOutput{0, false, {}, {}};
  }

  std::vector<std::string> ranLines() const {
    std::vector<std::string> lines;
    for (const tarnwick::CommandRequest &request : requests)
      lines.push_back(tarnwick::shellQuoted(request.argv));
    return lines;
  }
};

} // namespace quillane::test
