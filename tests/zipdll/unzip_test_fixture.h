// The folder, target and driver every extracting test starts from.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/temp_folder.h"
#include "zipdll/unzip_driver.h"
#include "zipdll/unzip_test_archive.h"

namespace unzip_test {

class UnzipTest : public testing::Test {
 protected:
  std::string WriteArchive(const TestArchive& archive, const std::string& name = "test.zip") {
    return folder_.Write(name, archive.Bytes());
  }
  UnzipRequest Request(const std::string& archive) {
    UnzipRequest request;
    request.archive = archive;
    request.target = target_;
    return request;
  }
  // Names in a folder, "." and ".." left out, sorted.
  static std::vector<std::string> Listing(const std::string& folder) {
    std::vector<platform::FindEntry> found;
    platform::FindFiles(folder + "*", &found);
    std::vector<std::string> names;
    for (const auto& entry : found) {
      if (entry.name != "." && entry.name != "..") names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // Data of a given size that deflate cannot shrink much, so that sizes stay large.
  static std::string Noise(size_t size, uint32_t seed = 1) {
    std::string data(size, '\0');
    for (char& c : data) {
      seed = seed * 1103515245 + 12345;
      c = static_cast<char>(seed >> 16);
    }
    return data;
  }

  test_support::TempFolder folder_;
  std::string target_ = folder_.MakeFolder("out");
  UnzipDriver driver_;
};

}  // namespace unzip_test
