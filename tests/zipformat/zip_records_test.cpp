// The records as this program writes them read back field for field, and a reader given too
// little, or the wrong record, gets nothing: every reader of an archive relies on that.
#include "zipformat/zip_records.h"

#include <gtest/gtest.h>

#include <string>

#include "zipformat/byte_order.h"
#include "zipformat/end_records.h"

namespace zipformat {
namespace {

template <typename Record>
void ExpectShortAndForeignInputRefused(const Record& record) {
  Bytes bytes;
  record.Append(&bytes);
  ASSERT_EQ(bytes.size(), Record::kSize);
  EXPECT_TRUE(Record::Parse(bytes));
  EXPECT_FALSE(Record::Parse(ByteSpan(bytes).first(Record::kSize - 1)));
  bytes[0] ^= 1;
  EXPECT_FALSE(Record::Parse(bytes));
}

TEST(ZipRecords, EveryFieldReadsBackWhereTheFormatPutsIt) {
  CentralHeader central;
  central.version_made_by = 0x0B14;
  central.version_needed = 20;
  central.flags = kFlagUtf8 | kFlagEncrypted;
  central.method = kMethodDeflated;
  central.dos_time = 0x6B21;
  central.dos_date = 0x5A43;
  central.crc = 0xCAFEBABE;
  central.compressed_size = 0x01020304;
  central.uncompressed_size = 0x05060708;
  central.name_length = 7;
  central.extra_length = 9;
  central.comment_length = 11;
  central.internal_attributes = 1;
  central.external_attributes = 0x20;
  central.local_header_offset = 0x0A0B0C0D;
  Bytes bytes;
  central.Append(&bytes);
  // Spot checks against the published layout, not against Parse.
  EXPECT_EQ(Get32(&bytes[0]), CentralHeader::kSignature);
  EXPECT_EQ(Get16(&bytes[10]), kMethodDeflated);
  EXPECT_EQ(Get32(&bytes[16]), 0xCAFEBABE);
  EXPECT_EQ(Get16(&bytes[28]), 7);
  EXPECT_EQ(Get16(&bytes[32]), 11);
  EXPECT_EQ(Get32(&bytes[38]), 0x20u);
  EXPECT_EQ(Get32(&bytes[42]), 0x0A0B0C0Du);
  const std::optional<CentralHeader> back = CentralHeader::Parse(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->HostSystem(), 11);
  EXPECT_EQ(back->dos_date, 0x5A43);
  EXPECT_EQ(back->compressed_size, 0x01020304u);
  EXPECT_EQ(back->comment_length, 11);
  EXPECT_EQ(back->external_attributes, 0x20u);
  ExpectShortAndForeignInputRefused(central);

  LocalHeader local;
  local.method = kMethodStored;
  local.crc = 0x12345678;
  local.name_length = 3;
  local.extra_length = 20;
  bytes.clear();
  local.Append(&bytes);
  EXPECT_EQ(Get16(&bytes[26]), 3);
  EXPECT_EQ(Get16(&bytes[28]), 20);
  ASSERT_TRUE(LocalHeader::Parse(bytes));
  EXPECT_EQ(LocalHeader::Parse(bytes)->crc, 0x12345678u);
  ExpectShortAndForeignInputRefused(local);

  EndRecord end;
  end.total_entries = 3;
  end.directory_size = 150;
  end.directory_offset = 400;
  end.comment_length = 5;
  bytes.clear();
  end.Append(&bytes);
  EXPECT_EQ(Get16(&bytes[20]), 5);
  EXPECT_EQ(EndRecord::Parse(bytes)->directory_offset, 400u);
  ExpectShortAndForeignInputRefused(end);

  Zip64EndRecord zip64;
  zip64.total_entries = 70000;
  zip64.directory_size = 5ull << 32;
  zip64.directory_offset = 6ull << 32;
  bytes.clear();
  zip64.Append(&bytes);
  EXPECT_EQ(Get64(&bytes[4]), Zip64EndRecord::kSize - 12);
  EXPECT_EQ(Get64(&bytes[48]), 6ull << 32);
  EXPECT_EQ(Zip64EndRecord::Parse(bytes)->total_entries, 70000u);
  ExpectShortAndForeignInputRefused(zip64);

  Zip64EndLocator locator;
  locator.zip64_end_offset = 7ull << 32;
  bytes.clear();
  locator.Append(&bytes);
  EXPECT_EQ(Zip64EndLocator::Parse(bytes)->zip64_end_offset, 7ull << 32);
  EXPECT_EQ(Zip64EndLocator::Parse(bytes)->total_disks, 1u);
  ExpectShortAndForeignInputRefused(locator);
}

TEST(ZipRecords, DataDescriptorsReadWithAndWithoutTheirSignature) {
  DataDescriptor descriptor{0xDEADBEEF, 10, 20};
  Bytes bytes;
  descriptor.Append(&bytes, false);
  ASSERT_EQ(bytes.size(), 16u);
  EXPECT_EQ(DataDescriptor::Parse(bytes, false)->uncompressed_size, 20u);
  const ByteSpan unsigned_form = ByteSpan(bytes).subspan(4);
  EXPECT_EQ(DataDescriptor::Parse(unsigned_form, false)->crc, 0xDEADBEEF);
  EXPECT_FALSE(DataDescriptor::Parse(unsigned_form.first(11), false));
  bytes.clear();
  descriptor.Append(&bytes, true);
  EXPECT_EQ(bytes.size(), DataDescriptor::kLargestSize);
  EXPECT_EQ(DataDescriptor::Parse(bytes, true)->compressed_size, 10u);
}

TEST(ZipRecords, ExtraFieldsAreWalkedUpToABrokenTail) {
  Bytes extra;
  Zip64Extra zip64;
  zip64.uncompressed_size = 5ull << 32;
  zip64.local_header_offset = 9;
  zip64.Append(&extra);
  const std::string utf8 = "Zo\xC3\xA9";
  UnicodePathExtra unicode;
  unicode.name_crc = 42;
  unicode.name = AsBytes(utf8);
  unicode.Append(&extra);
  Put16(&extra, 0x5455);
  Put16(&extra, 50);  // runs past the end: not a block
  extra.push_back(1);
  std::vector<uint16_t> ids;
  ForEachExtraBlock(extra, [&](const ExtraBlock& block) {
    ids.push_back(block.id);
    if (block.id == Zip64Extra::kId) {
      EXPECT_EQ(block.data.size(), 16u);
      // Only the saturated fields are there, in the format's order: the offset comes second.
      const std::optional<Zip64Extra> both = Zip64Extra::Parse(block.data, true, false, true);
      ASSERT_TRUE(both);
      EXPECT_EQ(*both->uncompressed_size, 5ull << 32);
      EXPECT_EQ(*both->local_header_offset, 9u);
      EXPECT_FALSE(both->compressed_size);
      EXPECT_FALSE(Zip64Extra::Parse(block.data, true, true, true));
    } else {
      const std::optional<UnicodePathExtra> path = UnicodePathExtra::Parse(block.data);
      ASSERT_TRUE(path);
      EXPECT_EQ(path->version, UnicodePathExtra::kVersion);
      EXPECT_EQ(path->name_crc, 42u);
      EXPECT_EQ(std::string(path->name.begin(), path->name.end()), utf8);
      EXPECT_FALSE(UnicodePathExtra::Parse(block.data.first(4)));
    }
  });
  EXPECT_EQ(ids, (std::vector<uint16_t>{Zip64Extra::kId, UnicodePathExtra::kId}));
  Bytes none;
  Zip64Extra().Append(&none);
  EXPECT_TRUE(none.empty());
}

// A file of bytes in memory, read the way the readers read theirs.
ReadAt ReaderOf(const Bytes& file) {
  return [&file](uint64_t position, uint8_t* out, size_t size) {
    if (position > file.size() || size > file.size() - position) return false;
    std::copy_n(file.begin() + static_cast<ptrdiff_t>(position), size, out);
    return true;
  };
}

TEST(EndRecords, TheSearchGivesTheFactsAndTheCallerDecides) {
  // A comment that itself holds an end record, as a hostile archive may.
  Bytes tail(10, 0);
  EndRecord outer;
  outer.comment_length = EndRecord::kSize + 4;
  outer.Append(&tail);
  EndRecord inner;
  inner.comment_length = 100;  // more than the file holds
  inner.Append(&tail);
  tail.resize(tail.size() + 4);
  const auto any = [](size_t, const EndRecord&) { return true; };
  EXPECT_EQ(FindEndRecord(tail, any), 10 + EndRecord::kSize);
  const ByteSpan span = tail;
  const auto fits = [&](size_t at, const EndRecord& r) { return CommentFits(span, at, r); };
  EXPECT_EQ(FindEndRecord(tail, fits), 10u);
  EXPECT_FALSE(FindEndRecord(span.first(EndRecord::kSize - 1), any));
}

TEST(EndRecords, TheZip64RecordIsLookedForWhereTheLocatorSaysAndInFrontOfIt) {
  // Ten bytes of other data in front of an archive whose zip64 record the locator puts at 0.
  Bytes file(10, 0);
  Zip64EndRecord record;
  record.total_entries = 3;
  record.Append(&file);
  const uint64_t locator_position = file.size();
  Zip64EndLocator locator;
  locator.zip64_end_offset = 0;
  locator.Append(&file);
  const uint64_t end_position = file.size();
  EndRecord().Append(&file);
  const ReadAt read = ReaderOf(file);

  const std::optional<Zip64EndLocator> found_locator = ReadZip64Locator(read, end_position);
  ASSERT_TRUE(found_locator);
  EXPECT_FALSE(ReadZip64Locator(read, locator_position));  // a zip64 record is no locator
  EXPECT_FALSE(ReadZip64Locator(read, 5));

  const auto any = [](uint64_t, const Zip64EndRecord&) { return true; };
  for (Zip64Places order : {Zip64Places::kStoredFirst, Zip64Places::kAdjacentFirst}) {
    const std::optional<Zip64End> end =
        FindZip64End(read, locator_position, *found_locator, order, any);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->position, 10u);
    EXPECT_EQ(end->record.total_entries, 3u);
    EXPECT_TRUE(EndsAtLocator(end->position, end->record, locator_position));
  }
  // The caller's rule can refuse every place.
  EXPECT_FALSE(FindZip64End(read, locator_position, *found_locator, Zip64Places::kStoredFirst,
                            [](uint64_t, const Zip64EndRecord&) { return false; }));
}

}  // namespace
}  // namespace zipformat
