#pragma once

#include "TarnwickUI/AppTranslations.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLocale>
#include <QScopeGuard>
#include <QWidget>

#include <string>
#include <vector>

namespace quillane::test {

/// Runs `check` in English, then in German, with the locale and the
/// translations set as at start-up: a window built inside `check` speaks
/// that language. English comes back afterwards, for the tests that follow.
template <class Check> void inEveryLanguage(Check check) {
  const auto english = qScopeGuard([] {
    QLocale::setDefault(QLocale::system());
    tarnwick::AppTranslations::install(QLocale(QLocale::English));
  });
  for (const QLocale &locale : {QLocale(QLocale::English), QLocale(QLocale::German, QLocale::Germany)}) {
    SCOPED_TRACE(locale.name().toStdString());
    QLocale::setDefault(locale);
    const bool translated = tarnwick::AppTranslations::install(locale);
    if (locale.language() != QLocale::English) {
      ASSERT_TRUE(translated) << "no translation for " << locale.name().toStdString();
    }
    check();
  }
}

/// The texts of the labels shown in `window` that do not fit their label:
/// one that wraps lacks the height its text takes at its width, one that
/// does not lacks the width.
inline std::vector<std::string> cutLabels(const QWidget &window) {
  std::vector<std::string> cut;
  for (const QLabel *label : window.findChildren<QLabel *>()) {
    if (!label->isVisible() || label->text().isEmpty())
      continue;
    const bool fits = label->wordWrap() ? label->height() >= label->heightForWidth(label->width())
                                        : label->width() >= label->sizeHint().width();
    if (!fits)
      cut.push_back(label->text().toStdString());
  }
  return cut;
}

} // namespace quillane::test
