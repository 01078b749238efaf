#include "zipdll/extract/files_ahead.h"

#include <utility>

#include "platform/platform.h"

namespace zipdll::extract {

FileAhead::FileAhead(FileAhead&& other) noexcept
    : written_(std::exchange(other.written_, false)), path_(std::move(other.path_)) {}

FileAhead::~FileAhead() {
  if (written_ && !path_.empty()) platform::DeleteFile(path_);
}

}  // namespace zipdll::extract
