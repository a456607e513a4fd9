// Many jobs, a few at a time: one job per device, on a bounded number of
// worker threads, each job with its own stop and deadline. A fleet of printers
// is set up this way; one job's failure, time-out or hang never holds the others.
#pragma once

#include "core/port/Job.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <stop_token>

namespace pemberlux {

// Runs job(i, limits) for every i in [0, count), on at most `workers` threads
// (never more threads than jobs), taking the jobs in order. Each job's stop is
// requested when `stop` is, and when `each` has passed since the job started
// (its deadline, also in `limits`), so a job that ignores the deadline still
// ends at its next blocking step. Once `stop` is requested no further job
// starts. Returns when every started job has ended.
void RunJobs(std::size_t count, std::size_t workers, std::chrono::milliseconds each, const std::stop_token& stop,
             const std::function<void(std::size_t index, const JobLimits& limits)>& job);

} // namespace pemberlux
