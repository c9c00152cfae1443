#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "helpers/fake_encoder_control.h"
#include "platform/linux/flock_instance_lock.h"
#include "platform/linux/posix_process_runner.h"
#include "temp_folder.h"

namespace ripwarden::testing {
namespace {

using linux_platform::FlockInstanceLock;

// Another copy of the program: a forked process that takes the lock, then
// optionally starts a long-running encoder, reports through a pipe and waits
// to be killed.
class OtherCopy {
 public:
  OtherCopy(const std::string& lock_path, bool start_encoder) {
    int report[2];
    if (::pipe(report) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(report[0]);
      FlockInstanceLock lock(lock_path);
      char acquired = lock.Acquire() ? 'y' : 'n';
      if (start_encoder) {
        linux_platform::PosixProcessRunner runner;
        if (runner.StartProcess(FakeEncoderPath(), {}, "") == kNoProcess) acquired = 'e';
        (void)!::write(report[1], &acquired, 1);
        while (true) ::pause();
      }
      (void)!::write(report[1], &acquired, 1);
      while (true) ::pause();
    }
    ::close(report[1]);
    if (::read(report[0], &acquired_, 1) != 1) acquired_ = '?';
    ::close(report[0]);
  }
  ~OtherCopy() { Kill(); }

  char acquired() const { return acquired_; }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }

 private:
  pid_t pid_ = 0;
  char acquired_ = '?';
};

TEST(InstanceLockTest, SecondCopyFindsTheLockHeldUntilTheFirstReleases) {
  TempFolder temp;
  FlockInstanceLock first(temp.Path("ripwarden.lock"));
  FlockInstanceLock second(temp.Path("ripwarden.lock"));
  ASSERT_TRUE(first.Acquire());
  EXPECT_FALSE(second.Acquire());
  first.Release();
  EXPECT_TRUE(second.Acquire());
}

TEST(InstanceLockTest, KilledHolderFreesTheLockAtOnce) {
  TempFolder temp;
  const std::string path = temp.Path("ripwarden.lock");
  OtherCopy holder(path, false);
  ASSERT_EQ(holder.acquired(), 'y');
  FlockInstanceLock lock(path);
  EXPECT_FALSE(lock.Acquire());
  holder.Kill();
  EXPECT_TRUE(lock.Acquire());
}

TEST(InstanceLockTest, EncoderStartedByTheHolderDoesNotKeepTheLock) {
  TempFolder temp;
  const std::string path = temp.Path("ripwarden.lock");
  const std::string record = temp.Path("record");
  FakeEncoderScript script(temp, "record " + record + "\nhang\n");
  // The encoder outlives its parent; become its new parent to collect it.
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  OtherCopy holder(path, true);
  ASSERT_EQ(holder.acquired(), 'y');
  const auto encoder = AwaitEncoderRecord(record, 10000);
  ASSERT_TRUE(encoder);
  struct Reaper {
    pid_t pid;
    ~Reaper() {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  } reaper{encoder->pid};
  holder.Kill();

  ASSERT_EQ(::kill(encoder->pid, 0), 0) << "the encoder should still run";
  FlockInstanceLock lock(path);
  EXPECT_TRUE(lock.Acquire());
}

TEST(InstanceLockTest, ALockThatCannotBeTakenIsNeverTakenForGranted) {
  TempFolder temp;
  FlockInstanceLock made(temp.Path("State/deeper/ripwarden.lock"));
  EXPECT_TRUE(made.Acquire()) << "its folder was not made";
  temp.Write("file", "");
  FlockInstanceLock impossible(temp.Path("file/ripwarden.lock"));
  EXPECT_FALSE(impossible.Acquire());
  EXPECT_EQ(linux_platform::InstanceLockPath("/home/u/.local/state/ripwarden"),
            "/home/u/.local/state/ripwarden/ripwarden.lock");
}

}  // namespace
}  // namespace ripwarden::testing
