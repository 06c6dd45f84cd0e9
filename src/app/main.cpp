// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/application.h"

int main(int argc, char** argv) { return kavo::runApplication(argc, argv); }
