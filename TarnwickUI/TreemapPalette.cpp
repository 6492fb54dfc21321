#include "TarnwickUI/TreemapPalette.h"

#include "TarnwickCore/Support/ByteCountFormat.h"
#include "TarnwickCore/Support/PathJoin.h"

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>
#include <limits>
#include <cmath>
#include <array>
#include <initializer_list>
#include <string>

namespace tarnwick {
namespace {

// The translation context of the texts this file shows outside a QObject.
struct Texts {
  Q_DECLARE_TR_FUNCTIONS(TreemapPalette)
};

using enum CleanableCategory;

QColor rgb(double red, double green, double blue) { return QColor::fromRgbF(float(red), float(green), float(blue)); }

std::string lowerAscii(std::string_view text) {
  std::string lowered(text);
  for (char &c : lowered)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c + 32);
  return lowered;
}

// The extension of the last component of a lower-cased path; empty without one.
std::string_view extensionOf(std::string_view lowered) {
  const std::string_view last = lastPathComponent(lowered);
  auto dot = last.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : last.substr(dot + 1);
}

struct InferenceRule {
  bool byExtension; // else by containment in the whole path
  std::initializer_list<std::string_view> words;
  CleanableCategory category;
};

// First rule that holds decides.
const std::array<InferenceRule, 16> inferenceRules = {{
    {false, {"xcode"}, xcodeJunk},
    {false, {"deriveddata"}, xcodeJunk},
    {false, {"archives"}, xcodeJunk},
    {true, {"swift", "m", "h", "c", "cpp", "hpp", "o", "a", "dylib", "xcodeproj", "xcworkspace"}, xcodeJunk},
    {false, {"homebrew", "cellar", "cocoapods", "node_modules", ".pnpm-store", ".cargo"}, brewAndPackages},
    {false, {"docker", "orbstack", "containerd"}, dockerAndVMs},
    {true, {"vmdk", "qcow2", "raw", "iso", "img"}, dockerAndVMs},
    {false, {"adobe", "premiere", "final cut", "davinci", "media cache", "scratch"}, creatorCaches},
    {true, {"mov", "mp4", "m4v", "prproj", "aep", "psd", "ai", "wav", "aif", "raw", "cr2", "nef", "arw"},
     creatorCaches},
    {false,
     {"google/chrome", "bravebrowser", "microsoft edge", "safari", "firefox", "service worker", "gpucache",
      "indexeddb"},
     browserBloat},
    {false, {"ollama", "lm-studio", "huggingface"}, aiModelsAndLogs},
    {true, {"gguf", "bin", "safetensors", "onnx", "pt"}, aiModelsAndLogs},
    {false, {"/logs", "diagnosticreports", "crashreporter"}, systemJunk},
    {true, {"log", "asl", "diag", "trace"}, systemJunk},
    {true, {"dmg", "pkg", "zip", "tar", "gz", "7z", "rar", "xz", "bz2"}, largeAndOldFiles},
    {false, {".trash"}, trashBins},
}};

} // namespace

QColor TreemapPalette::electricIndigo() { return rgb(0.38, 0.35, 0.98); }
QColor TreemapPalette::sunsetCoral() { return rgb(0.98, 0.45, 0.32); }
QColor TreemapPalette::cyanTeal() { return rgb(0.12, 0.76, 0.82); }
QColor TreemapPalette::emeraldGreen() { return rgb(0.18, 0.80, 0.44); }
QColor TreemapPalette::violetAI() { return rgb(0.68, 0.32, 0.92); }
QColor TreemapPalette::slateLogs() { return rgb(0.45, 0.52, 0.60); }
QColor TreemapPalette::mutedCharcoal() { return rgb(0.28, 0.30, 0.34); }
QColor TreemapPalette::warmAmber() { return rgb(0.95, 0.68, 0.24); }
QColor TreemapPalette::sapphireBlue() { return rgb(0.20, 0.55, 0.95); }
QColor TreemapPalette::crimsonTrash() { return rgb(0.92, 0.28, 0.32); }

QColor TreemapPalette::color(CleanableCategory category) {
  switch (category) {
  case systemJunk: return slateLogs();
  case userCache: return sapphireBlue();
  case xcodeJunk:
  case brewAndPackages: return electricIndigo();
  case dockerAndVMs: return cyanTeal();
  case creatorCaches: return sunsetCoral();
  case browserBloat: return emeraldGreen();
  case aiModelsAndLogs: return violetAI();
  case largeAndOldFiles: return warmAmber();
  case trashBins: return crimsonTrash();
  }
  return mutedCharcoal();
}

std::optional<CleanableCategory> TreemapPalette::inferCategory(std::string_view path) {
  return inferCategoryLowered(lowerAscii(path));
}

std::optional<CleanableCategory> TreemapPalette::inferCategoryLowered(std::string_view lowered) {
  const std::string_view extension = extensionOf(lowered);
  for (const InferenceRule &rule : inferenceRules) {
    bool holds = std::any_of(rule.words.begin(), rule.words.end(), [&](std::string_view word) {
      return rule.byExtension ? extension == word : lowered.find(word) != std::string_view::npos;
    });
    if (holds)
      return rule.category;
  }
  return std::nullopt;
}

namespace {

double relativeLuminance(const QColor &color) {
  auto linear = [](double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) + 0.0722 * linear(color.blueF());
}

} // namespace

QColor TreemapPalette::mix(const QColor &a, const QColor &b, double t) {
  auto channel = [t](double x, double y) { return float(x + (y - x) * t); };
  return QColor::fromRgbF(channel(a.redF(), b.redF()), channel(a.greenF(), b.greenF()), channel(a.blueF(), b.blueF()));
}

double TreemapPalette::contrastRatio(const QColor &a, const QColor &b) {
  const double la = relativeLuminance(a), lb = relativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor TreemapPalette::labelColor(const QColor &fill) {
  const QColor white(Qt::white), black(Qt::black);
  return contrastRatio(white, fill) >= contrastRatio(black, fill) ? white : black;
}

std::optional<CleanableCategory> TreemapPalette::categoryOf(const DiskNode &node) {
  return node.categoryHint ? node.categoryHint : inferCategory(node.path);
}

QColor TreemapPalette::tileColor(const TreemapRect &rect, std::int64_t depth, bool isHovered) {
  if (rect.isAggregatedTail) {
    QColor tail = mutedCharcoal();
    if (isHovered)
      tail.setAlphaF(0.9f);
    return tail;
  }
  QColor fill = color(categoryOf(rect.node).value_or(userCache));
  double opacity = isHovered ? 1.0 : 0.85 * std::max(1.0 - 0.06 * static_cast<double>(depth), 0.7);
  fill.setAlphaF(static_cast<float>(opacity));
  return fill;
}

QString TreemapPalette::formatBytes(std::int64_t bytes) { return QString::fromStdString(formatByteCount(bytes)); }

QString TreemapPalette::formatPercentage(double fraction) {
  return QString::asprintf("%.1f%%", std::max(0.0, fraction * 100));
}

QString TreemapPalette::formatItemCount(std::int64_t count, bool isDirectory) {
  const int n = int(std::min<std::int64_t>(count, std::numeric_limits<int>::max()));
  return isDirectory ? Texts::tr("%Ln item(s)", nullptr, n)
                     : Texts::tr("%Ln file(s)", nullptr, n);
}

} // namespace tarnwick
