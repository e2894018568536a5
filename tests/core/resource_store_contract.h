// What every backend's ResourceStore (platform.h) must do with the pages the build compiled into
// the test program, as one suite of tests that each backend's test program runs against its own
// implementation. The backend's test program defines the hooks below.
#ifndef PLQ_TESTS_CORE_RESOURCE_STORE_CONTRACT_H_
#define PLQ_TESTS_CORE_RESOURCE_STORE_CONTRACT_H_

#include <memory>

#include "shell/core/platform.h"

namespace plq::testing {

// The backend's own resource store.
std::unique_ptr<ResourceStore> MakeResourceStore();

// The system call a failure to find a resource names ("FindResourceExW"...).
const char* ResourceLookupCall();

}  // namespace plq::testing

#endif  // PLQ_TESTS_CORE_RESOURCE_STORE_CONTRACT_H_
