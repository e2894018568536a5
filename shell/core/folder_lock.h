// How copies of the program that share a page folder wait for each other (platform.h's
// PageFolder: Open, TryHoldAlone, Share), the same on every system: each backend takes its own kind
// of lock, tries it without blocking and, while another copy holds it, tries again at these
// intervals.
#ifndef PLQ_SHELL_CORE_FOLDER_LOCK_H_
#define PLQ_SHELL_CORE_FOLDER_LOCK_H_

#include <chrono>

namespace plq {

// How long a copy waits for another one that holds the folder alone: that copy is only taking
// the pages away or cleaning up, which takes milliseconds; one that holds it longer is stuck.
inline constexpr std::chrono::milliseconds kLockWait{10000};
// How long it pauses between two tries.
inline constexpr std::chrono::milliseconds kLockPoll{10};

// How many times a copy opens a private folder that the last copy to leave deletes meanwhile
// (it is made anew each time) before it gives up.
inline constexpr int kOpenRounds = 5;

// How many fresh temporary names a copy tries for a page before it gives up writing it: a name
// is taken only by a clash of random numbers or by files planted in the folder.
inline constexpr int kTemporaryNameTries = 16;

// A backend calls this each time it finds the lock held by another copy, before it pauses. It
// only counts, so that a test can wait until a copy is really waiting instead of sleeping and
// hoping it is.
void CountLockRetry();
// How many times the copies in this process have found a lock held.
unsigned long LockRetries();

}  // namespace plq

#endif  // PLQ_SHELL_CORE_FOLDER_LOCK_H_
