#include "platform/handler_edge.h"

#include <exception>
#include <new>

#include "platform/run_time_error.h"

namespace kavo {

namespace {

RunTimeError currentError() {
  try {
    throw;
  } catch (const RunTimeError& error) {
    return error;
  } catch (const std::bad_alloc&) {
    return RunTimeError(ErrorNumber::OutOfMemory, {}, {});
  } catch (const std::exception& error) {
    return RunTimeError(ErrorNumber::InternalError, {}, error.what());
  } catch (...) {
    return RunTimeError(ErrorNumber::InternalError, {}, {});
  }
}

}  // namespace

void runHandler(Dialogs& dialogs, ProgramEnd& programEnd,
                const std::function<void()>& body, AfterError after) {
  try {
    body();
  } catch (...) {
    RunTimeError error = currentError();
    dialogs.messageBox(error.message());
    if (after == AfterError::EndProgram) programEnd.end();
  }
}

}  // namespace kavo
