#include "ui/toolkit.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>

namespace ui {
namespace {

// Written on the main thread only, under the mutex; read there without it, elsewhere with it.
std::mutex current_mutex;
std::condition_variable calls_ended;
Toolkit* current = nullptr;
bool letting_go = false;  // no call from another thread may start
int calls_on_their_way = 0;

}  // namespace

Toolkit& CurrentToolkit() { return *current; }

void SetToolkit(Toolkit* toolkit) {
  std::unique_lock<std::mutex> lock(current_mutex);
  if (!toolkit && current) {
    letting_go = true;
    // The calls on their way wait for the main thread, which is this one: it lets them run.
    while (calls_on_their_way > 0) {
      Toolkit* const going = current;
      lock.unlock();
      going->ProcessMessages();
      lock.lock();
      calls_ended.wait_for(lock, std::chrono::milliseconds(5));
    }
  }
  current = toolkit;
  letting_go = false;
}

bool RunOnMainThreadWhileUp(const std::function<void()>& call) {
  Toolkit* toolkit = nullptr;
  {
    std::lock_guard<std::mutex> lock(current_mutex);
    if (!current || letting_go) return false;
    toolkit = current;
    ++calls_on_their_way;
  }
  toolkit->RunOnMainThread(call);
  {
    std::lock_guard<std::mutex> lock(current_mutex);
    --calls_on_their_way;
  }
  calls_ended.notify_all();
  return true;
}

bool RunHandler(const std::function<void()>& handler) {
  try {
    if (handler) handler();
    return true;
  } catch (const std::exception& error) {
    Toolkit& toolkit = CurrentToolkit();
    toolkit.MessageBox(error.what(), toolkit.ApplicationTitle(), kMbOk | kMbIconHand);
  } catch (...) {
    Toolkit& toolkit = CurrentToolkit();
    toolkit.MessageBox("An unexpected error occurred.", toolkit.ApplicationTitle(),
                       kMbOk | kMbIconHand);
  }
  return false;
}

}  // namespace ui
