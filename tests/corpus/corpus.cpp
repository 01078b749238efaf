#include "corpus/corpus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "platform/platform.h"
#include "ui/headless/headless_toolkit.h"
#include "zip/tzip.h"
#include "zipdll/common/zip_reader.h"

namespace corpus {
namespace {

// The names in a folder, "." and ".." left out, sorted.
std::vector<platform::FindEntry> Entries(const std::string& folder) {
  std::vector<platform::FindEntry> found;
  platform::FindFiles(folder + "*", &found);
  std::erase_if(found,
                [](const platform::FindEntry& e) { return e.name == "." || e.name == ".."; });
  std::sort(
      found.begin(), found.end(),
      [](const platform::FindEntry& a, const platform::FindEntry& b) { return a.name < b.name; });
  return found;
}

bool IsFolder(const platform::FindEntry& entry) {
  return (entry.attributes & platform::kAttrDirectory) != 0;
}

// Files and folders below folder, keyed by their path below base; a folder's value is "<folder>".
void Walk(const std::string& base, const std::string& relative, const std::string& skip,
          std::map<std::string, std::string>* out) {
  for (const platform::FindEntry& entry : Entries(base + relative)) {
    const std::string path = relative + entry.name;
    if (IsFolder(entry)) {
      if ((base + path + "\\") == skip) continue;
      (*out)[path + "\\"] = "<folder>";
      Walk(base, path + "\\", skip, out);
    } else {
      std::string contents;
      platform::ReadWholeFile(base + path, &contents);
      (*out)[path] = contents;
    }
  }
}

// The record is looked for in the file's last 65535 bytes, so it is found behind a comment of at
// most this length.
constexpr size_t kLongestFoundComment = 65535 - 22;

}  // namespace

std::string CorpusFolder() {
  std::string folder = RD_CORPUS_FOLDER;
  if (folder.back() != '\\') folder += '\\';
  return folder;
}

std::vector<std::string> CorpusFiles(const std::string& subfolder) {
  std::vector<std::string> names;
  for (const platform::FindEntry& entry : Entries(CorpusFolder() + subfolder + "\\")) {
    if (!IsFolder(entry)) names.push_back(entry.name);
  }
  return names;
}

Sandbox::Sandbox() : target_(folder_.MakeFolder("deep\\er\\out")) {}

std::string Sandbox::PutArchive(const std::string& name, const std::string& bytes) {
  return folder_.Write(name, bytes);
}

void Sandbox::ClearTarget() {
  test_support::RemoveTree(target_);
  platform::CreateDirectory(target_.substr(0, target_.size() - 1));
}

void Sandbox::PutUserFile(const std::string& relative, const std::string& contents) {
  folder_.Write("deep\\er\\out\\" + relative, contents);
}

std::map<std::string, std::string> Sandbox::Outside() const {
  std::map<std::string, std::string> outside;
  Walk(folder_.path(), "", target_, &outside);
#if !defined(_WIN32)
  for (const platform::FindEntry& entry : Entries("C:\\")) outside["C:\\" + entry.name] = "";
#endif
  return outside;
}

std::map<std::string, std::string> Sandbox::Written() const {
  std::map<std::string, std::string> written;
  Walk(target_, "", "", &written);
  return written;
}

void Extract(Sandbox* sandbox, const std::string& archive, unzip_test::UnzipRequest request,
             Extraction* out) {
  request.archive = archive;
  request.target = sandbox->target();
  out->driver.answer = [](zipdll::CallbackRecord* record) {
    if (record->action == zipdll::kActionCrcError) record->flag = 1;
    if (record->action == zipdll::kActionOverwrite) record->value = 1;
    if (record->action == zipdll::kActionPassword) {
      record->flag = record->value >= 3 ? 1 : 0;
      if (record->flag) std::snprintf(record->text, sizeof record->text, "%s", kAskedPassword);
    }
    return 0;
  };
  const auto before = sandbox->Outside();
  out->result = out->driver.Run(request);
  const auto after = sandbox->Outside();
  for (const auto& [name, contents] : after) {
    const auto was = before.find(name);
    if (was == before.end()) {
      out->outside_changes.push_back("+" + name);
    } else if (was->second != contents) {
      out->outside_changes.push_back("~" + name);
    }
  }
  for (const auto& [name, contents] : before) {
    if (!after.count(name)) out->outside_changes.push_back("-" + name);
  }
  out->written = sandbox->Written();
}

Listing ReadWithComponent(const std::string& archive) {
  ui::headless::HeadlessToolkit toolkit;
  ui::SetToolkit(&toolkit);
  Listing listing;
  try {
    zip::TZip zip;
    zip.OnContentsChanged = [&listing](zip::TZip&) { listing.changed = true; };
    zip.ZipFileName(archive);
    zip.ReadDirectory();  // again, as the component does after each run
    listing.opened = true;
    listing.comment = zip.ZipComment();
    for (const zip::TFileInfo& info : zip.Contents) listing.names.push_back(info.FileName);
  } catch (const zip::ZipException& e) {
    listing.refused = e.what();
  }
  ui::SetToolkit(nullptr);
  return listing;
}

Listing ReadWithReader(const std::string& archive) {
  Listing listing;
  auto file = platform::File::Open(archive, platform::File::Mode::kRead);
  if (!file) {
    listing.refused = "cannot open " + archive;
    return listing;
  }
  zipdll::Directory directory;
  if (zipdll::ReadDirectory(*file, &directory, &listing.refused)) {
    listing.opened = true;
    listing.comment = directory.comment;
    for (const zipdll::EntryInfo& entry : directory.entries) listing.names.push_back(entry.name);
  }
  return listing;
}

std::string RewriteCommentAndReopen(const std::string& original) {
  const std::string archive = original + ".rewritten.zip";
  if (!platform::CopyFile(original, archive, false)) return "cannot copy " + original;
  ui::headless::HeadlessToolkit toolkit;
  ui::SetToolkit(&toolkit);
  std::string fault;
  try {
    zip::TZip zip;
    zip.ZipFileName(archive);
    const size_t entries = zip.Contents.size();
    // One byte longer, unless that pushes the record out of the reach of the component's search
    // (which it then reports as not an archive): then one byte shorter.
    std::string comment = zip.ZipComment();
    comment = comment.size() < kLongestFoundComment ? comment + "!" : comment.substr(1);
    const std::string old_comment = zip.ZipComment();
    zip.ZipComment(comment);
    // A comment holding the record's signature may be taken for the record once it moves, and
    // an archive of several disks or without a record found is not rewritten.
    if (!zip.MultipleDisk() && zip.EndRecord().position >= 0 &&
        old_comment.find(std::string("PK\x05\x06", 4)) == std::string::npos) {
      zip::TZip again;
      try {
        again.ZipFileName(archive);
        if (again.Contents.size() != entries) {
          fault = "the rewritten archive lists " + std::to_string(again.Contents.size()) +
                  " entries, not " + std::to_string(entries);
        } else if (again.ZipComment() != comment) {
          fault = "the rewritten comment reads back as \"" + again.ZipComment() + "\"";
        }
      } catch (const zip::ZipException& e) {
        fault = std::string("the rewritten archive no longer opens: ") + e.what();
      }
    }
  } catch (const zip::ZipException&) {
    // Not listed: nothing to rewrite.
  }
  ui::SetToolkit(nullptr);
  platform::DeleteFile(archive);
  return fault;
}

}  // namespace corpus
