// Feeds arbitrary bytes to the archive component as an archive file: opening it, reading its
// directory and rewriting its comment. Whatever the bytes, the component either lists the
// archive or raises ZipException; it never crashes, and an archive it lists reads back the same.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "ui/headless/headless_toolkit.h"
#include "zip/tzip.h"

namespace {

ui::headless::HeadlessToolkit* toolkit = nullptr;
const char kArchive[] = "C:\\in.zip";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/rd-tzip-fuzz-XXXXXX";
  if (!mkdtemp(pattern)) abort();
  setenv("RIDIDEDUVURE_DRIVES", (std::string("C:=3|FUZZ|") + pattern).c_str(), 1);
  toolkit = new ui::headless::HeadlessToolkit();
  ui::SetToolkit(toolkit);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (!platform::WriteWholeFileSafely(kArchive, bytes)) abort();
  zip::TZip zip;
  try {
    zip.ZipFileName(kArchive);
  } catch (const zip::ZipException&) {
    return 0;
  }
  const size_t entries = zip.Contents.size();
  const std::string comment = zip.ZipComment();
  zip.ZipComment(comment + "!");
  // A comment holding the record's signature may be found as the record itself once it moves.
  if (zip.MultipleDisk() || zip.EndRecord().position < 0 ||
      comment.find(std::string("PK\x05\x06", 4)) != std::string::npos) {
    return 0;
  }
  // The rewritten archive lists the same entries with the new comment.
  zip::TZip again;
  try {
    again.ZipFileName(kArchive);
  } catch (const zip::ZipException& e) {
    std::fprintf(stderr, "the rewritten archive no longer opens: %s\n", e.what());
    abort();
  }
  if (again.Contents.size() != entries) abort();
  return 0;
}
