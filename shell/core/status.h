// The outcome of an operation that can fail: success, or a failure with a message.
#ifndef PLQ_SHELL_CORE_STATUS_H_
#define PLQ_SHELL_CORE_STATUS_H_

#include <string>
#include <utility>

namespace plq {

class [[nodiscard]] Status {
 public:
  static Status Ok() { return {true, std::string()}; }
  static Status Failure(std::string message) { return {false, std::move(message)}; }

  bool ok() const { return ok_; }
  // Empty on success; on failure says what failed and why, in UTF-8. From a backend it is the
  // technical detail (the call that failed and the system's reason); the core words what the
  // user reads around it (messages.h).
  const std::string& message() const { return message_; }

  // Says at the call that a failure is dropped on purpose.
  void IgnoreError() const {}

 private:
  Status(bool ok, std::string message) : ok_(ok), message_(std::move(message)) {}

  bool ok_;
  std::string message_;
};

}  // namespace plq

#endif  // PLQ_SHELL_CORE_STATUS_H_
