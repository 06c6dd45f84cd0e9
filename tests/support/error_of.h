// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "platform/services/run_time_error.h"

namespace kavo::testing {

// Runs `call`, which must fail, and returns the error it raised, of type
// Error (RunTimeError or a kind of it); nothing, and a test failure, when it
// did not fail that way.
template <typename Error = RunTimeError>
std::optional<Error> errorOf(const std::function<void()>& call) {
  try {
    call();
    ADD_FAILURE() << "no run-time error was raised";
  } catch (const Error& error) {
    return error;
  } catch (const std::exception& error) {
    ADD_FAILURE() << "another error was raised: " << error.what();
  }
  return std::nullopt;
}

}  // namespace kavo::testing
