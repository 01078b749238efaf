// What the libraries report while they run, and the decisions they ask the user for.
#include <cstring>

#include "platform/platform.h"
#include "ui/toolkit.h"
#include "zip/progress_form.h"
#include "zip/tzip.h"

namespace zip {
namespace {

using zipdll::CallbackRecord;

constexpr int kBarMaximum = 65535;
constexpr zipdll::Slot kFirstPasswordRequest = 3;
// Room for the zero that ends the text field.
constexpr size_t kMaxPasswordLength = zipdll::kCallbackTextSize - 1;

std::string RecordText(const CallbackRecord& record) {
  return std::string(record.text, strnlen(record.text, sizeof record.text));
}

int Ask(const std::string& text, unsigned flags) {
  ui::Toolkit& toolkit = ui::CurrentToolkit();
  return toolkit.MessageBox(text, toolkit.ApplicationTitle(), flags);
}

}  // namespace

std::int32_t ZIPDLL_CALL TZip::LibraryCallback(CallbackRecord* record) {
  TZip* zip = record ? static_cast<TZip*>(record->caller) : nullptr;
  if (!zip) return -1;
  // Nothing may escape into the library; a failure here stops the run instead.
  try {
    if (!zip->Cancelled) zip->OnCallbackAction(*record);
  } catch (...) {
    zip->Cancelled = true;
  }
  const std::int32_t answer = zip->Cancelled ? -1 : 0;
  try {
    ui::CurrentToolkit().ProcessMessages();
  } catch (...) {
    zip->Cancelled = true;
  }
  return answer;
}

void TZip::OnCallbackAction(CallbackRecord& record) {
  switch (record.action) {
    case zipdll::kActionFileBegun:
      current_file_name_ = RecordText(record);
      if (OnZEDBeginFileEvent) {
        OnZEDBeginFileEvent(*this, current_file_name_, static_cast<int>(record.value), BatchCount,
                            TotalBytesInBatch);
      }
      if (progress_form_ && ShowProgressDialog) progress_form_->SetFileText(current_file_name_);
      break;
    case zipdll::kActionProgress:
      BytesDone += static_cast<int32_t>(record.value);
      if (OnZEDProgressEvent) {
        OnZEDProgressEvent(*this, current_file_name_, BytesDone, TotalBytesInBatch);
      }
      if (progress_form_ && ShowProgressDialog) {
        progress_form_->SetPosition(
            static_cast<int>(static_cast<float>(BytesDone) * progress_scale_));
      }
      break;
    case zipdll::kActionEndOfBatch:
      if (OnZEDEndBatchEvent) {
        OnZEDEndBatchEvent(*this, SkippedCount, BatchCount, TotalBytesInBatch);
      }
      if (progress_form_ && ShowProgressDialog) progress_form_->Hide();
      break;
    case zipdll::kActionMessage:
      if (OnZEDMessageEvent) {
        OnZEDMessageEvent(*this, RecordText(record), platform::CauseFromCode(record.flag),
                          static_cast<int64_t>(record.value));
      }
      if (trace_file_ && record.text[0] != '\0') {
        const std::string line = RecordText(record) + "\r\n";
        trace_file_->Write(line.data(), line.size());
      }
      break;
    case zipdll::kActionBatchFiles:
      BatchCount = static_cast<int32_t>(record.value);
      break;
    case zipdll::kActionBatchBytes:
      TotalBytesInBatch = static_cast<int32_t>(record.value);
      BytesDone = 0;
      SkippedCount = 0;
      progress_scale_ =
          TotalBytesInBatch == 0 ? 1.0f : static_cast<float>(kBarMaximum) / TotalBytesInBatch;
      if (progress_form_ && ShowProgressDialog) progress_form_->SetMaximum(kBarMaximum);
      break;
    case zipdll::kActionPassword:
      HideProgress();
      AskPassword(record);
      ShowProgressAgain();
      break;
    case zipdll::kActionCrcError:
      HideProgress();
      AskCrcError(record);
      ShowProgressAgain();
      break;
    case zipdll::kActionOverwrite:
      AnswerOverwrite(record);
      break;
    case zipdll::kActionSkipped:
      ++SkippedCount;
      if (OnZEDSkippedEvent) {
        OnZEDSkippedEvent(*this, RecordText(record), static_cast<int>(record.value),
                          platform::CauseFromCode(record.flag));
      }
      break;
    default:
      break;
  }
}

void TZip::AskPassword(CallbackRecord& record) {
  ui::Toolkit& toolkit = ui::CurrentToolkit();
  const std::string prompt = record.value == kFirstPasswordRequest
                                 ? "A new password is required for \"" + RecordText(record) + "\""
                                 : std::string("Password is invalid, please retry ...");
  const std::optional<std::string> entered =
      toolkit.InputBox(toolkit.ApplicationTitle(), prompt, "");
  if (entered && !entered->empty()) {
    const size_t length = std::min(entered->size(), kMaxPasswordLength);
    std::memcpy(record.text, entered->data(), length);
    record.text[length] = '\0';
    record.flag = 1;
    if (record.value > 0) --record.value;
    return;
  }
  record.flag = 0;
  record.value = 0;
  if (Ask("No password was entered so the file will not be extracted...\nDo you wish to continue "
          "extracting other files?",
          ui::kMbYesNo | ui::kMbIconQuestion) == ui::kIdNo) {
    Cancelled = true;
  }
}

void TZip::AskCrcError(CallbackRecord& record) {
  switch (Ask(
      "\"" + RecordText(record) + "\" may be corrupted (CRC error).\nExtract this file anyway? ...",
      ui::kMbYesNoCancel | ui::kMbIconQuestion | ui::kMbDefButton2)) {
    case ui::kIdYes:
      record.flag = 1;
      break;
    case ui::kIdNo:
      record.flag = 0;
      break;
    default:
      Cancelled = true;
      break;
  }
}

void TZip::AnswerOverwrite(CallbackRecord& record) {
  if (!(ExtrOptions & (kExtrByAge | kExtrAskOverwrite))) {
    record.value = 1;
    return;
  }
  const bool older = record.flag & 1;
  if (ExtrOptions & kExtrByAge) {
    record.value = older ? 1 : 0;
    return;
  }
  const std::string name = RecordText(record);
  HideProgress();
  const int answer =
      older ? Ask("\"" + name + "\" is older than the zipped file.\nOverwrite this file? ...",
                  ui::kMbYesNoCancel | ui::kMbIconInformation)
            : Ask("\"" + name +
                      "\" is the same age or newer than the zipped file.\nDo you really want to "
                      "overwrite this file? ...",
                  ui::kMbYesNoCancel | ui::kMbIconHand | ui::kMbDefButton2);
  record.value = answer == ui::kIdYes ? 1 : 0;
  if (answer != ui::kIdYes && answer != ui::kIdNo) Cancelled = true;
  ShowProgressAgain();
}

void TZip::HideProgress() {
  if (progress_form_) progress_form_->Hide();
}

void TZip::ShowProgressAgain() {
  if (progress_form_ && ShowProgressDialog && !Cancelled) progress_form_->Show();
}

}  // namespace zip
