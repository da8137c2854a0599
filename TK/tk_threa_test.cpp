#include "TK/tk_threa.h"

#include <atomic>
#include <gtest/gtest.h>

#include "TK/tk_singl.h"

namespace {

// Counts its calls; done after a given number of steps (never when negative).
class counting_functor : public tk_thread_functor {
 public:
  explicit counting_functor(int steps_until_done) : until_(steps_until_done) {}
  bool step() override {
    ++steps;
    return until_ >= 0 && steps > until_;
  }
  void idle() override {
    ++idles;
    tk_thread_functor::idle();
  }
  void finish() override { ++finishes; }

  std::atomic<int> steps{0}, idles{0}, finishes{0};

 private:
  int until_;
};

// A long-running job that polls the stop request, as the conversion run does between records.
class polling_job : public tk_thread_functor {
 public:
  explicit polling_job(std::atomic<bool>& ended) : ended_(ended) {}
  ~polling_job() override { ended_ = true; }
  void operator()() override {
    started = true;
    while (!stop_requested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    cleaned_up = true;
  }
  std::atomic<bool> started{false}, cleaned_up{false};

 private:
  std::atomic<bool>& ended_;
};

class job_thread : public tk_thread {
 public:
  explicit job_thread(tk_thread_functor* f, int owns) : tk_thread(owns), f_(f) {}
  tk_thread_functor* create_functor() override { return f_; }
  tk_thread_functor* f_;
};

std::string text_of(const char* file, unsigned line) { return tk_mail_assertion(file, line).what(); }

template <class F>
std::string assertion_of(F call) {
  try {
    call();
  } catch (const tk_mail_assertion& e) {
    return e.what();
  }
  return "none";
}

void wait_until_finished(tk_thread& t) {
  for (int i = 0; i < 1000 && t.is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

}  // namespace

TEST(ThreadFunctor, DoneAtOnceNeverIdles) {
  counting_functor f(0);
  f();
  EXPECT_EQ(f.steps, 1);
  EXPECT_EQ(f.idles, 0);
  EXPECT_EQ(f.finishes, 1);
  counting_functor g(2);
  g();
  EXPECT_EQ(g.steps, 3);
  EXPECT_EQ(g.idles, 2);
}

TEST(Thread, RunsClosesAndRestarts) {
  counting_functor f(1);
  job_thread t(&f, 0);
  EXPECT_EQ(assertion_of([&] { t.close(); }), "none");  // never started: nothing to do
  t.start();
  wait_until_finished(t);
  EXPECT_FALSE(t.is_running());
  EXPECT_EQ(f.finishes, 1);
  t.start();  // closes the finished run and starts again
  wait_until_finished(t);
  EXPECT_EQ(f.finishes, 2);
  t.close();
  EXPECT_EQ(t.functor(), nullptr);
}

TEST(Thread, MisuseIsAnInternalError) {
  counting_functor forever(-1);
  job_thread t(&forever, 0);
  EXPECT_EQ(assertion_of([&] { t.stop(); }), text_of("tk_threa", 55));
  t.start();
  EXPECT_TRUE(t.is_running());
  EXPECT_EQ(assertion_of([&] { t.start(); }), text_of("tk_threa", 92));
  EXPECT_EQ(assertion_of([&] { t.close(); }), text_of("tk_threa", 71));
  EXPECT_TRUE(t.stop());
  EXPECT_FALSE(t.is_running());
  EXPECT_EQ(forever.finishes, 1);  // the base loop ends through finish()

  job_thread none(nullptr, 0);
  EXPECT_EQ(assertion_of([&] { none.start(); }), text_of("tk_threa", 105));
}

TEST(Thread, StopIsCooperativeAndDestructorStopsToo) {
  std::atomic<bool> deleted{false};
  polling_job job(deleted);
  {
    job_thread t(&job, 0);
    t.start();
    while (!job.started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(t.stop());
    EXPECT_TRUE(job.cleaned_up);  // the job ran its own end
    job.started = false;
    job.cleaned_up = false;
    t.start();  // the stop request is cleared for a new run
    while (!job.started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(t.is_running());
  }  // destructor: stops the running job
  EXPECT_TRUE(job.cleaned_up);
  EXPECT_FALSE(deleted);  // not owned

  std::atomic<bool> owned_deleted{false};
  auto* owned = new polling_job(owned_deleted);
  {
    job_thread t(owned, 1);
    t.start();
  }
  EXPECT_TRUE(owned_deleted);  // owned: deleted once stopped
}

TEST(Thread, BaseFunctorIsOwned) {
  tk_thread t(0);
  t.start();
  EXPECT_TRUE(t.is_running());
  EXPECT_TRUE(t.stop());  // idle() wakes at once
  t.close();              // deletes the base functor it created (checked by the leak sanitizer)
}

TEST(ThreadDeathTest, AJobThatIgnoresStopEndsTheProcessAtTheBound) {
  EXPECT_EXIT(
      {
        struct stubborn : tk_thread_functor {
          void operator()() override {
            for (;;) std::this_thread::sleep_for(std::chrono::milliseconds(50));
          }
        };
        stubborn job;
        job_thread t(&job, 0);
        t.set_stop_timeout(std::chrono::milliseconds(100));
        t.start();
        EXPECT_FALSE(t.stop());  // still running after the bound
        EXPECT_TRUE(t.is_running());
      },  // the destructor cannot release a running job: the process ends
      ::testing::ExitedWithCode(255), "");
}
