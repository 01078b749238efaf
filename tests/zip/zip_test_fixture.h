// What the archive component's tests share: the scripted toolkit installed for each test, a
// folder of the test's own, archives built with the real engine through the component, and
// archives built byte by byte for the layouts the engine never writes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_folder.h"
#include "ui/headless/headless_toolkit.h"
#include "zip/tzip.h"

namespace zip_test {

class ZipTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the files (name, contents) below the test's folder and adds them to a new archive
  // there with the component, folders dropped; returns the archive's name.
  std::string MakeArchive(const std::string& name,
                          const std::vector<std::pair<std::string, std::string>>& files,
                          const std::string& password = "");
  // Adds files that are there already to a new archive, as MakeArchive does.
  std::string AddToArchive(const std::string& name, const std::vector<std::string>& paths,
                           const std::string& password = "");

  std::string ReadBytes(const std::string& path) const;
  void WriteBytes(const std::string& path, const std::string& bytes) const;

  // Texts of the message boxes shown so far.
  std::vector<std::string> MessageTexts() const;

  ui::headless::HeadlessToolkit toolkit_;
  test_support::TempFolder temp_;
  std::string saved_current_;
};

// One stored entry of an archive built by hand.
struct HandEntry {
  HandEntry(std::string entry_name, std::string entry_data, uint8_t host_system = 3,
            uint8_t spec_version = 20, std::string entry_comment = std::string())
      : name(std::move(entry_name)),
        data(std::move(entry_data)),
        host(host_system),
        made_by(spec_version),
        comment(std::move(entry_comment)) {}

  std::string name;  // bytes as stored
  std::string data;
  uint8_t host = 3;      // host system (high byte of "version made by")
  uint8_t made_by = 20;  // zip format version of the maker (low byte)
  std::string comment;   // bytes as stored
};

struct HandLayout {
  std::string prefix;      // bytes in front of the archive
  uint16_t this_disk = 0;  // end record fields
  uint16_t directory_disk = 0;
  std::string comment;
  bool zip64 = false;  // saturated 32-bit fields and the larger records in front of them
};

// A password that the check byte of the entry's encryption header turns away: base itself, or
// base followed by a number. A wrong password passes that check by chance once in 256 times, and
// the engine draws the header's other bytes afresh for every archive; a test that wants a wrong
// password refused takes one from here. Fails the test when the entry is not there.
std::string RefusedPassword(const std::string& archive, const std::string& entry_name,
                            const std::string& base);

// A whole archive, stored entries only.
std::string BuildArchive(const std::vector<HandEntry>& entries, const HandLayout& layout = {});

// Offsets of things inside an archive built by BuildArchive without a prefix.
size_t CentralDirectoryOffset(const std::string& archive);

void Put16(std::string& bytes, size_t at, uint16_t value);
void Put32(std::string& bytes, size_t at, uint32_t value);
uint32_t Get32(const std::string& bytes, size_t at);

}  // namespace zip_test
