// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>
#include <memory>

namespace kavo::testing {

// Polls for the modal dialog that the code under test is about to show and
// hands it to `answer` once it is up. An export's progress dialog is not
// one to answer and is passed over. Gives up loudly
// after five seconds.
inline void whenModalShown(std::function<void(QWidget*)> answer) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  auto ticks = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, ticks, answer] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->isVisible() && !modal->inherits("kavo::ProgressDialog")) {
      timer->stop();
      timer->deleteLater();
      answer(modal);
    } else if (++*ticks > 500) {
      timer->stop();
      timer->deleteLater();
      qFatal("no modal dialog appeared");
    }
  });
  timer->start();
}

}  // namespace kavo::testing
