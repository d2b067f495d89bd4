// The outermost guard of the program: exceptions become messages and failure statuses.
#include "app/guarded_main.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "app/exit_status.h"
#include "app/project_info_json.h"
#include "platform/memory_log.h"

namespace lumetra::app {
namespace {

int Fail(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  platform::LogAppend(text);
  return kExitStartupFailed;
}

}  // namespace

int RunGuarded(const std::function<int()>& body) {
  int status = kExitStartupFailed;
  try {
    status = body();
  } catch (const std::bad_alloc&) {
    return Fail("No memory");
  } catch (const std::exception& e) {
    return Fail(std::string("Internal error: ") + e.what());
  } catch (...) {
    return Fail("Internal error: unknown exception");
  }
  // Text that never reached its reader (a full disk, a closed pipe) is a failure too.
  if (status == kExitOk && !StdoutWritten()) status = kExitSaveFailed;
  return status;
}

}  // namespace lumetra::app
