// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <string>
#include <vector>

#include "app/application.h"
#include "platform/services/console.h"

int main(int argc, char** argv) {
  // The folder to start in as it is named, in UTF-8, on Windows too.
  std::vector<std::string> arguments = kavo::console::arguments(argc, argv);
  std::vector<char*> utf8;
  for (std::string& argument : arguments) utf8.push_back(argument.data());
  utf8.push_back(nullptr);
  return kavo::runApplication(static_cast<int>(arguments.size()), utf8.data());
}
