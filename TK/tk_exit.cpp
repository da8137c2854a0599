// Process end (see tk_exit.h).
#include "TK/tk_exit.h"

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <unistd.h>

namespace {

struct closer_table {
  std::mutex lock;
  std::map<int, std::function<void()>> closers;
  int next_id = 1;
};

closer_table& table() {
  static closer_table* t = new closer_table;  // never destroyed: usable until the very end
  return *t;
}

std::atomic<bool> g_exiting{false};

}  // namespace

int tk_add_closer(std::function<void()> closer) {
  auto& t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  const int id = t.next_id++;
  t.closers.emplace(id, std::move(closer));
  return id;
}

void tk_remove_closer(int id) {
  auto& t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  t.closers.erase(id);
}

void tk_exit_process(int code) {
  if (!g_exiting.exchange(true)) {
    std::map<int, std::function<void()>> closers;
    {
      auto& t = table();
      std::lock_guard<std::mutex> guard(t.lock);
      closers = t.closers;
    }
    for (auto it = closers.rbegin(); it != closers.rend(); ++it) {
      try {
        it->second();
      } catch (...) {
        // A failing closer must not stop the others or the end of the process.
      }
    }
  }
  std::fflush(nullptr);
  ::_exit(code);
}
