#include "engine/transcoder_job.h"

namespace engine {

TranscoderJob::~TranscoderJob() { Stop(); }

void TranscoderJob::StartThreads() {
  runner_ = std::thread(&TranscoderJob::RunnerMain, this);
  monitor_ = std::thread(&TranscoderJob::MonitorMain, this);
}

void TranscoderJob::Stop() {
  std::lock_guard<std::mutex> stopLock(stopMutex_);
  signals_.RequestStop();
  process_.kill();
  if (runner_.joinable()) runner_.join();
  if (monitor_.joinable()) monitor_.join();
  JobVerdict pending = JobVerdict::Pending;
  verdict_.compare_exchange_strong(pending, JobVerdict::Stopped);
  // What the transcoder wrote is in our own private folder: a finished output
  // is in place already, anything else goes.
  temp_.Discard();
  AfterStop();
  signals_.MarkRunnerEnded();
  reportsEnded_.set();
}

std::string TranscoderJob::Text(const std::string& field) const {
  std::lock_guard<std::mutex> lock(textMutex_);
  return field;
}

void TranscoderJob::SetText(std::string* field, const std::string& value) {
  std::lock_guard<std::mutex> lock(textMutex_);
  *field = value;
}

}  // namespace engine
