// Every input the fuzzers ever failed on, in the ordinary suite and under Wine: through the
// extracting library as the extraction fuzzer feeds it (the first byte picks the switches, here
// every one of their combinations), and whole through the archive component's reader and the
// shared directory reader as the component's fuzzer does. Whatever the bytes: a result and, when
// an entry is skipped, a message naming it; nothing changes outside the target.
#include <gmock/gmock.h>

#include "corpus/corpus.h"
#include "platform/platform.h"

namespace corpus {
namespace {

using testing::HasSubstr;
using testing::IsEmpty;

unzip_test::UnzipRequest FuzzerRequest(uint8_t mode) {
  unzip_test::UnzipRequest request;
  request.test_only = mode & 0x01;
  request.update = mode & 0x02;
  request.freshen = mode & 0x04;
  request.recreate_folders = mode & 0x08;
  request.overwrite = (mode & 0x07) == 0;
  if (mode & 0x10) request.password = "secret";
  if (mode & 0x20) request.specs = {(mode & 0x40) ? "*.cht" : "*"};
  return request;
}

void ExpectHandled(const Extraction& run) {
  const std::string messages = run.driver.Messages();
  EXPECT_GE(run.result, 0) << messages;
  EXPECT_THAT(run.outside_changes, IsEmpty()) << "written outside the target";
  for (const auto& skip : run.driver.Of(zipdll::kActionSkipped)) {
    EXPECT_THAT(messages, HasSubstr("\"" + skip.text + "\""));
  }
  // A batch that began comes to its end; an archive refused before that says why and adds
  // nothing.
  if (!run.driver.Of(zipdll::kActionBatchFiles).empty()) {
    EXPECT_EQ(run.driver.events.back().action, zipdll::kActionEndOfBatch) << messages;
  } else if (!run.driver.events.empty()) {
    EXPECT_EQ(run.driver.events.back().action, zipdll::kActionMessage);
    EXPECT_EQ(run.result, 0) << messages;
  }
}

TEST(FuzzFindings, EachRunsThroughTheLibraryAndBothReaders) {
  const std::vector<std::string> findings = CorpusFiles("findings");
  // The one kept since the fuzzer first ran; the folder only grows.
  ASSERT_GE(findings.size(), 1u) << "no findings in " << CorpusFolder()
                                 << "findings: the build copies fuzz/findings there";
  for (const std::string& name : findings) {
    SCOPED_TRACE(name);
    std::string bytes;
    ASSERT_TRUE(platform::ReadWholeFile(CorpusFolder() + "findings\\" + name, &bytes));
    ASSERT_FALSE(bytes.empty());
    Sandbox sandbox;
    const std::string archive = sandbox.PutArchive("in.zip", bytes.substr(1));
    for (int mode = 0; mode < 0x80; ++mode) {
      SCOPED_TRACE("switches " + std::to_string(mode));
      sandbox.ClearTarget();
      Extraction run;
      Extract(&sandbox, archive, FuzzerRequest(static_cast<uint8_t>(mode)), &run);
      ExpectHandled(run);
    }
    const std::string whole = sandbox.PutArchive("whole.zip", bytes);
    Extraction run;
    Extract(&sandbox, whole, {}, &run);
    ExpectHandled(run);

    for (const std::string& input : {archive, whole}) {
      const Listing component = ReadWithComponent(input);
      EXPECT_TRUE(component.opened || !component.refused.empty());
      const Listing reader = ReadWithReader(input);
      EXPECT_TRUE(reader.opened || !reader.refused.empty());
      if (component.opened) {
        EXPECT_EQ(RewriteCommentAndReopen(input), "");
      }
    }
  }
}

}  // namespace
}  // namespace corpus
