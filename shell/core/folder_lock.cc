#include "shell/core/folder_lock.h"

#include <atomic>

namespace plq {
namespace {

std::atomic<unsigned long> lock_retries{0};

}  // namespace

void CountLockRetry() { ++lock_retries; }

unsigned long LockRetries() { return lock_retries; }

}  // namespace plq
