// A file that a handle holds open without sharing it, as the astrology application holds the chart
// it has open, or a virus scanner a file it looks at: until it goes, no one else may open the file.
// Windows only: Linux has no such lock on a file.
#pragma once

#include <cstdint>
#include <string>

namespace test_support {

class HeldFile {
 public:
  explicit HeldFile(const std::string& path);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool held() const { return handle_ != 0; }

 private:
  intptr_t handle_ = 0;
};

}  // namespace test_support
