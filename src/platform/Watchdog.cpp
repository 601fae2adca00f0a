#include "platform/Watchdog.h"

#include <exception>
#include <memory>

#include "platform/Handles.h"
#include "platform/OsError.h"

namespace updater {
namespace {

struct Job {
  std::function<void()> work;
  std::exception_ptr error;
  UniqueHandle done;
};

DWORD WINAPI RunJob(void* parameter) {
  // The job is shared with the caller, who may have stopped waiting for it.
  const std::unique_ptr<std::shared_ptr<Job>> holder(static_cast<std::shared_ptr<Job>*>(parameter));
  const std::shared_ptr<Job> job = *holder;
  try {
    job->work();
  } catch (...) {
    job->error = std::current_exception();
  }
  ::SetEvent(job->done.Get());
  return 0;
}

}  // namespace

bool RunWithin(uint32_t milliseconds, std::function<void()> work) {
  auto job = std::make_shared<Job>();
  job->work = std::move(work);
  job->done.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!job->done) throw OsError("CreateEventW", "", ::GetLastError(), "Cannot create an event");
  auto* holder = new std::shared_ptr<Job>(job);
  UniqueHandle thread(::CreateThread(nullptr, 0, RunJob, holder, 0, nullptr));
  if (!thread) {
    const DWORD code = ::GetLastError();
    delete holder;
    throw OsError("CreateThread", "", code, "Cannot start a thread");
  }
  if (::WaitForSingleObject(job->done.Get(), milliseconds) != WAIT_OBJECT_0) return false;
  if (job->error) std::rethrow_exception(job->error);
  return true;
}

}  // namespace updater
