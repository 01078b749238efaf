// The shell's CD writing service on Windows: its burner COM object and the CD staging folder.
//
// The object is created on the main thread (with COM initialised there for its life) to ask for
// the recorder. Burn creates a second object in the calling thread, inside a COM apartment of that
// thread's own, because the burn runs on a worker thread and an apartment-threaded object must not
// be called from another thread than its creator's.
#include <cstdio>
#include <memory>
#include <string>

#include "platform/win32/windows_api.h"
// The interface after windows.h, so that its names are not taken for the A/W macros.
#include "base/unique_handle.h"
#include "platform/cd_burn_service.h"

namespace platform {
namespace {

// The shell's CD burning interface, its operations in their slot order after IUnknown's three.
// Declared here with its identifiers so that no import library is needed for them.
struct ShellCdBurn : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetRecorderDriveLetter(LPWSTR drive, UINT length) = 0;
  virtual HRESULT STDMETHODCALLTYPE Burn(HWND owner) = 0;
  virtual HRESULT STDMETHODCALLTYPE HasRecordableDrive(BOOL* has) = 0;
};

constexpr CLSID kCdBurnClass = {
    0xFBEB8A05, 0xBEEE, 0x4442, {0x80, 0x4E, 0x40, 0x9D, 0x6C, 0x45, 0x15, 0xE9}};
constexpr IID kCdBurnInterface = {
    0x3D73A659, 0xE5D0, 0x4D42, {0xAF, 0xC0, 0x51, 0x21, 0xBA, 0x42, 0x5C, 0x8D}};

constexpr int kCsidlCdBurnArea = 0x3B;

// The system's sentence for a status code, without its closing full stop and line break.
std::string ErrorText(HRESULT status) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length > 0 && buffer ? std::string(buffer, length) : std::string();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.')) {
    text.pop_back();
  }
  if (text.empty()) {
    // Some systems (Wine among them) have no text for the COM errors that creation gives.
    switch (status) {
      case REGDB_E_CLASSNOTREG:
        return "Class not registered";
      case E_NOINTERFACE:
        return "No such interface supported";
      case CO_E_NOTINITIALIZED:
        return "CoInitialize has not been called";
      case E_OUTOFMEMORY:
        return "Not enough memory";
      default:
        break;
    }
    char code[32];
    std::snprintf(code, sizeof code, "error 0x%08lX", static_cast<unsigned long>(status));
    text = code;
  }
  return text;
}

// COM initialised for the calling thread while this lives (balanced only when it was this call
// that initialised it).
class ComApartment {
 public:
  ComApartment() : status_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(status_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  HRESULT status_;
};

// One COM reference, released when its owner goes.
template <typename T>
struct ComTraits {
  using Handle = T*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle object) { object->Release(); }
};
template <typename T>
using ComRef = base::UniqueHandle<ComTraits<T>>;

// The out parameter of a call that hands over a new reference.
template <typename T>
void** Receive(ComRef<T>& ref) {
  return reinterpret_cast<void**>(ref.Put());
}

// Creates the shell's burner object and asks it for the burning interface.
HRESULT CreateBurner(ComRef<ShellCdBurn>* burner) {
  ComRef<IUnknown> object;
  HRESULT status =
      CoCreateInstance(kCdBurnClass, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                       IID_IUnknown, Receive(object));
  if (FAILED(status)) return status;
  return object->QueryInterface(kCdBurnInterface, Receive(*burner));
}

class Win32CdBurnService : public CdBurnService {
 public:
  explicit Win32CdBurnService(std::unique_ptr<ComApartment> apartment)
      : apartment_(std::move(apartment)) {}
  ~Win32CdBurnService() override { burner_.Reset(); }  // before the apartment goes

  ComRef<ShellCdBurn>& burner() { return burner_; }

  long HasRecordableDrive(bool* has) override {
    BOOL answer = FALSE;
    const HRESULT status = burner_->HasRecordableDrive(&answer);
    *has = answer != FALSE;
    return status;
  }

  long GetRecorderDriveLetter(std::string* drive) override {
    wchar_t buffer[4] = {};
    const HRESULT status = burner_->GetRecorderDriveLetter(buffer, 4);
    drive->clear();
    if (status != S_OK) return status;
    int wide_length = 0;
    while (wide_length < 4 && buffer[wide_length] != L'\0') ++wide_length;
    if (wide_length > 0) {
      char ansi[16] = {};
      const int length =
          WideCharToMultiByte(CP_ACP, 0, buffer, wide_length, ansi, sizeof ansi, nullptr, nullptr);
      if (length > 0) drive->assign(ansi, static_cast<size_t>(length));
    }
    return 0;
  }

  long Burn(void* owner_window) override {
    ComApartment apartment;
    ComRef<ShellCdBurn> burner;
    HRESULT status = CreateBurner(&burner);
    if (SUCCEEDED(status)) status = burner->Burn(static_cast<HWND>(owner_window));
    return status;
  }

 private:
  std::unique_ptr<ComApartment> apartment_;
  ComRef<ShellCdBurn> burner_;
};

}  // namespace

std::unique_ptr<CdBurnService> CreateNativeCdBurnService(std::string* error) {
  auto service = std::make_unique<Win32CdBurnService>(std::make_unique<ComApartment>());
  const HRESULT status = CreateBurner(&service->burner());
  if (FAILED(status)) {
    *error = ErrorText(status);
    return nullptr;
  }
  return service;
}

bool GetNativeCdBurnArea(std::string* path) {
  path->clear();
  PIDLIST_ABSOLUTE items = nullptr;
  if (FAILED(SHGetFolderLocation(nullptr, kCsidlCdBurnArea, nullptr, 0, &items)) || !items) {
    return false;
  }
  char buffer[MAX_PATH + 1] = {};
  const bool found = SHGetPathFromIDListA(items, buffer) != FALSE;
  CoTaskMemFree(items);
  if (found) *path = buffer;
  return found && !path->empty();
}

}  // namespace platform
