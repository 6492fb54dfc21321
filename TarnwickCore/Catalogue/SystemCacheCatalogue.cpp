#include "TarnwickCore/Catalogue/SystemCacheCatalogue.h"

#include "TarnwickCore/Catalogue/FolderAllocation.h"
#include "TarnwickCore/Catalogue/SystemToolOutput.h"

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {
namespace {

std::string unreadableNote(const FolderAllocation &size) {
  if (size.rootError != 0)
    return "not readable: " + std::string(std::strerror(size.rootError));
  if (size.unreadableFolders > 0)
    return std::to_string(size.unreadableFolders) + " folder" + (size.unreadableFolders == 1 ? "" : "s") +
           " below could not be read and are not counted";
  return {};
}

void setSize(SystemCacheItem &item, const FolderAllocation &size) {
  if (size.rootError == 0)
    item.sizeBytes = size.bytes;
  item.sizeNote = unreadableNote(size);
}

bool endsWith(std::string_view text, std::string_view tail) { return text.ends_with(tail); }

SystemCacheItem makeItem(std::string id, std::string title, std::optional<std::int64_t> bytes = std::nullopt) {
  SystemCacheItem item;
  item.id = std::move(id);
  item.title = std::move(title);
  item.sizeBytes = bytes;
  return item;
}

} // namespace

SystemCacheCatalogue::SystemCacheCatalogue(CommandRunner &runner, SystemCacheRoots roots, bool runningAsRoot)
    : runner_(runner), roots_(std::move(roots)), runningAsRoot_(runningAsRoot) {}

SystemCacheCatalogue::SystemCacheCatalogue(CommandRunner &runner)
    : SystemCacheCatalogue(runner, SystemCacheRoots{}, ::geteuid() == 0) {}

std::vector<SystemCacheItem> SystemCacheCatalogue::measure(std::stop_token stop) {
  std::vector<SystemCacheItem> items;
  addFolderItems(items);
  if (!stop.stop_requested())
    addSnapItems(items, stop);
  if (!stop.stop_requested())
    addFlatpakItem(items);
  for (const char *engine : {"docker", "podman"})
    if (!stop.stop_requested())
      addContainerItems(items, engine, stop);
  return items;
}

SystemCacheCleaning SystemCacheCatalogue::clean(const SystemCacheItem &item, std::stop_token stop) {
  SystemCacheCleaning outcome{item.id, {}, {}, {}};
  if (!item.isCleanable()) {
    outcome.problem = "not cleanable from here; instead: " + item.instead;
    return outcome;
  }
  outcome.argv = item.cleanArgv;
  Result<CommandOutput> ran = runner_.run({item.cleanArgv, cleanTimeout, false, std::move(stop)});
  if (!ran) {
    outcome.problem = ran.failure().message();
    return outcome;
  }
  outcome.output = std::move(*ran);
  if (outcome.output.stopped)
    outcome.problem = "stopped before it finished";
  else if (outcome.output.timedOut)
    outcome.problem = "stopped after " + std::to_string(cleanTimeout.count() / 1000) + " s";
  else if (outcome.output.endingSignal != 0)
    outcome.problem = "ended by signal " + std::to_string(outcome.output.endingSignal) + " (" +
                      ::strsignal(outcome.output.endingSignal) + ")" +
                      (outcome.output.firstComplaint().empty() ? "" : ": " + outcome.output.firstComplaint());
  else if (outcome.output.exitStatus != 0)
    outcome.problem = "exit status " + std::to_string(outcome.output.exitStatus) +
                      (outcome.output.firstComplaint().empty() ? "" : ": " + outcome.output.firstComplaint());
  return outcome;
}

void SystemCacheCatalogue::setCleaning(SystemCacheItem &item, std::vector<std::string> command, bool needsRoot) {
  item.needsRoot = needsRoot;
  const std::string byHand = shellQuoted(command);
  const std::optional<std::string> tool = runner_.locate(command.front());
  if (!tool) {
    item.instead = "run " + byHand + " (" + command.front() + " was not found)";
    return;
  }
  command.front() = *tool;
  if (needsRoot && !runningAsRoot_) {
    const std::optional<std::string> pkexec = runner_.locate("pkexec");
    if (!pkexec) {
      item.instead = "run as root: " + byHand + " (pkexec was not found)";
      return;
    }
    command.insert(command.begin(), *pkexec);
  }
  item.cleanArgv = std::move(command);
  item.toolAvailable = true;
}

CommandOutput SystemCacheCatalogue::ask(std::vector<std::string> argv, std::string &problem, std::stop_token stop) {
  const std::string shown = shellQuoted(argv);
  // Killed once `stop` is requested, not waited for: a hung tool would
  // otherwise hold an interrupted command until its timeout.
  Result<CommandOutput> ran = runner_.run({std::move(argv), measureTimeout, true, std::move(stop)});
  if (!ran) {
    problem = ran.failure().message();
    return {};
  }
  if (ran->stopped)
    problem = shown + " was stopped before it answered";
  else if (ran->timedOut)
    problem = shown + " did not answer within " + std::to_string(measureTimeout.count() / 1000) + " s";
  else if (ran->exitStatus != 0)
    problem = shown + " failed" + (ran->firstComplaint().empty() ? "" : ": " + ran->firstComplaint());
  return std::move(*ran);
}

void SystemCacheCatalogue::addFolderItems(std::vector<SystemCacheItem> &items) {
  const FolderAllocation apt = FolderAllocation::measure(roots_.aptArchives, [](std::string_view name) {
    return name == "partial" || endsWith(name, ".deb");
  });
  if (apt.exists) {
    SystemCacheItem item = makeItem("apt-archives", "APT downloaded packages (" + roots_.aptArchives + ")");
    setSize(item, apt);
    setCleaning(item, {"apt-get", "clean"}, true);
    items.push_back(std::move(item));
  }
  const FolderAllocation journal = FolderAllocation::measure(roots_.journal);
  if (journal.exists) {
    SystemCacheItem item = makeItem("journal", "systemd journal (" + roots_.journal + ")");
    setSize(item, journal);
    if (item.sizeNote.empty())
      item.sizeNote = "the whole journal; cleaning keeps the last two weeks";
    setCleaning(item, {"journalctl", "--vacuum-time=2weeks"}, true);
    items.push_back(std::move(item));
  }
  const FolderAllocation crash = FolderAllocation::measure(roots_.crashReports);
  if (crash.exists) {
    SystemCacheItem item = makeItem("crash-reports", "Crash reports (" + roots_.crashReports + ")");
    setSize(item, crash);
    item.instead = "no tool owns these reports: read them, then remove the ones you are done with from " +
                   roots_.crashReports + " as root";
    items.push_back(std::move(item));
  }
}

void SystemCacheCatalogue::addSnapItems(std::vector<SystemCacheItem> &items, std::stop_token stop) {
  if (!runner_.locate("snap"))
    return;
  std::string problem;
  const CommandOutput listed = ask({"snap", "list", "--all"}, problem, stop);
  if (!problem.empty()) {
    SystemCacheItem item = makeItem("snap-revisions", "Disabled snap revisions");
    item.sizeNote = problem;
    item.toolAvailable = true;
    item.instead = "list them with `snap list --all`, then run snap remove NAME --revision REV for each disabled one";
    items.push_back(std::move(item));
    return;
  }
  for (const DisabledSnapRevision &snap : SystemToolOutput::disabledSnaps(listed.standardOutput)) {
    SystemCacheItem item = makeItem("snap-" + snap.name + "-" + snap.revision,
                         "snap " + snap.name + ", disabled revision " + snap.revision);
    const std::string file = roots_.snapRevisions + "/" + snap.name + "_" + snap.revision + ".snap";
    struct stat status {};
    if (::lstat(file.c_str(), &status) == 0 && S_ISREG(status.st_mode))
      item.sizeBytes = static_cast<std::int64_t>(status.st_blocks) * 512;
    else
      item.sizeNote = "not readable: " + file + ": " + std::strerror(errno);
    setCleaning(item, {"snap", "remove", snap.name, "--revision", snap.revision}, true);
    items.push_back(std::move(item));
  }
}

void SystemCacheCatalogue::addFlatpakItem(std::vector<SystemCacheItem> &items) {
  if (!runner_.locate("flatpak"))
    return;
  SystemCacheItem item = makeItem("flatpak-unused", "Unused Flatpak runtimes");
  // Flatpak only says what --unused removes while removing it, and asks
  // polkit itself for the system installation.
  item.sizeNote = "not measured: flatpak lists what it removes only when it removes it";
  setCleaning(item, {"flatpak", "uninstall", "--unused", "-y"}, false);
  items.push_back(std::move(item));
}

void SystemCacheCatalogue::addContainerItems(std::vector<SystemCacheItem> &items, const std::string &engine,
                                             std::stop_token stop) {
  if (!runner_.locate(engine))
    return;
  const bool docker = engine == "docker";
  std::string problem;
  const CommandOutput usage =
      docker ? ask({engine, "system", "df", "--format", "{{json .}}"}, problem, stop)
             : ask({engine, "system", "df", "--format", "json"}, problem, stop);
  const ContainerReclaimable reclaimable = !problem.empty()            ? ContainerReclaimable{}
                                           : docker                    ? SystemToolOutput::dockerSystemDf(usage.standardOutput)
                                                                       : SystemToolOutput::podmanSystemDf(usage.standardOutput);
  const std::string name = docker ? "Docker" : "Podman";
  const auto add = [&](std::string id, std::string title, std::optional<std::int64_t> bytes, std::string note,
                       std::vector<std::string> command) {
    SystemCacheItem item = makeItem(std::move(id), std::move(title), bytes);
    item.sizeNote = !problem.empty() ? problem : bytes ? std::move(note) : "not readable in " + engine + "'s report";
    setCleaning(item, std::move(command), false);
    items.push_back(std::move(item));
  };
  add(engine + "-images", name + " unused images", reclaimable.images,
      engine + " counts every image no container uses; the prune removes only untagged ones",
      {engine, "image", "prune", "-f"});
  if (docker)
    add("docker-build-cache", "Docker build cache", reclaimable.buildCache, {}, {"docker", "builder", "prune", "-f"});
}

} // namespace tarnwick
