// Names for value-parameterised tests whose parameter is a text.
//
// GoogleTest allows only letters, digits and "_" in a test name; without a
// name each case is known by its index, and CTest (gtest_discover_tests)
// would have to build its name from the printed parameter. A name made from
// the text itself reads as the case and is the same in every run.
#pragma once

#include <gtest/gtest.h>
#include <string>

namespace zovatest {

// The text as a test name: letters and digits stay, a run of blanks, "-" or
// "_" becomes one "_", and each other sign is spelled out ("*" Star, "="
// Eq, ...) so that texts that differ only in signs keep different names.
inline std::string textAsTestName(const std::string& text) {
  std::string name;
  auto separate = [&] {
    if (!name.empty() && name.back() != '_') name += '_';
  };
  for (const char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
      name += c;
      continue;
    }
    separate();
    switch (c) {
      case ' ': case '-': case '_': continue;
      case '*': name += "Star"; break;
      case '=': name += "Eq"; break;
      case ',': name += "Comma"; break;
      case ';': name += "Semicolon"; break;
      case '\'': name += "Quote"; break;
      case '(': name += "Open"; break;
      case ')': name += "Close"; break;
      case '~': name += "Tilde"; break;
      default: name += "x" + std::to_string(static_cast<unsigned char>(c)); break;
    }
    name += '_';
  }
  while (!name.empty() && name.back() == '_') name.pop_back();
  return name;
}

// Name generator for INSTANTIATE_TEST_SUITE_P with a text parameter.
struct TextParamName {
  template <class Text>
  std::string operator()(const ::testing::TestParamInfo<Text>& info) const {
    return textAsTestName(std::string(info.param));
  }
};

}  // namespace zovatest
