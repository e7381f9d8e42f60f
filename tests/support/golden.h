// The bytes of a golden file kept under tests/, e.g. Golden("analysis/golden/WEEK1.CSV");
// empty (and the test failed) when it cannot be read.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/file_access.h"

namespace tarnwell::test {

inline std::string Golden(const std::string& pathUnderTests) {
  std::string text;
  EXPECT_TRUE(ReadWholeFile(std::filesystem::path(TARNWELL_SOURCE_DIR) / "tests" / pathUnderTests, text))
      << pathUnderTests;
  return text;
}

}  // namespace tarnwell::test
