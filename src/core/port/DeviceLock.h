// One exchange per device, process-wide: a job that would open a device that
// another job holds waits until it is released (bounded by the job), instead
// of interleaving its bytes with the other job's.
#pragma once

#include "core/port/Job.h"

#include <string>

namespace pemberlux {

// Takes the device named `key` for the calling job. False when the job was
// stopped or its deadline passed first.
bool AcquireDevice(const std::string& key, const JobLimits& job);
void ReleaseDevice(const std::string& key);

// The key of a device node: its resolved path, so two names of one node are one device.
std::string DeviceKey(const std::string& path);

} // namespace pemberlux
