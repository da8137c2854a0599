// Worker thread (see tk_threa.h).
#include "TK/tk_threa.h"

#include "TK/tk_exit.h"
#include "TK/tk_log.h"
#include "TK/tk_singl.h"

// ---- tk_thread_functor ----------------------------------------------------------------------------------------

tk_thread_functor::tk_thread_functor() = default;
tk_thread_functor::~tk_thread_functor() = default;

void tk_thread_functor::operator()() {
  while (!step() && !stop_requested()) idle();
  return finish();
}

bool tk_thread_functor::step() { return false; }

void tk_thread_functor::idle() {
  std::unique_lock<std::mutex> guard(wake_lock_);
  wake_.wait_for(guard, std::chrono::milliseconds(100), [this] { return stop_requested(); });
}

void tk_thread_functor::finish() {}

void tk_thread_functor::request_stop() {
  {
    std::lock_guard<std::mutex> guard(wake_lock_);
    stop_requested_.store(true, std::memory_order_release);
  }
  wake_.notify_all();
}

void tk_thread_functor::clear_stop() { stop_requested_.store(false, std::memory_order_release); }

// ---- tk_thread ------------------------------------------------------------------------------------------------

tk_thread::tk_thread(int owns_functor) : owns_functor_(owns_functor) {}

tk_thread::~tk_thread() {
  if (is_running()) {
    functor_->request_stop();
    if (!wait_for_end(stop_timeout_)) {
      tk_trace(3, "Worker thread did not stop in time; ending the process");
      tk_exit_process(-1);
    }
  }
  try {
    close();
  } catch (...) {
    // close() raises only while running, which was ruled out above.
  }
}

tk_thread_functor* tk_thread::create_functor() {
  owns_functor_ = 1;
  return new tk_thread_functor;
}

bool tk_thread::is_running() const {
  if (!thread_.joinable() || !state_) return false;
  std::lock_guard<std::mutex> guard(state_->lock);
  return !state_->finished;
}

void tk_thread::thread_proc(tk_thread_functor* functor, std::shared_ptr<shared_state> state) {
  struct mark_finished {
    shared_state& s;
    ~mark_finished() {
      {
        std::lock_guard<std::mutex> guard(s.lock);
        s.finished = true;
      }
      s.ended.notify_all();
    }
  } on_exit{*state};
  if (!functor) throw tk_mail_assertion("tk_threa", 149);
  (*functor)();
}

void tk_thread::start() {
  if (is_running()) throw tk_mail_assertion("tk_threa", 92);
  close();
  tk_thread_functor* functor = create_functor();
  if (!functor) throw tk_mail_assertion("tk_threa", 105);
  functor_ = functor;
  functor_->clear_stop();
  state_ = std::make_shared<shared_state>();
  thread_ = std::thread(&tk_thread::thread_proc, functor_, state_);
}

bool tk_thread::wait_for_end(std::chrono::milliseconds bound) {
  std::unique_lock<std::mutex> guard(state_->lock);
  return state_->ended.wait_for(guard, bound, [this] { return state_->finished; });
}

bool tk_thread::stop() {
  if (!is_running()) throw tk_mail_assertion("tk_threa", 55);
  functor_->request_stop();
  return wait_for_end(stop_timeout_);
}

void tk_thread::close() {
  if (is_running()) throw tk_mail_assertion("tk_threa", 71);
  if (thread_.joinable()) thread_.join();
  state_.reset();
  if (owns_functor_ && functor_) delete functor_;
  functor_ = nullptr;
}
