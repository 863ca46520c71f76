// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A hook on a window's events. Main thread only.
#include <QObject>
#include <QPointer>

#include <functional>

class QEvent;
class QWidget;

namespace veldora::app {

// Puts the component's handler in front of the window's own event handling: every
// event is offered to the handler and then goes on to the window. Removed again on
// destruction.
class TControlSubClass : public QObject {
  public:
    using Handler = std::function<void(QEvent& event)>;
    TControlSubClass(QWidget& window, Handler handler);
    ~TControlSubClass() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QWidget> window_;
    Handler handler_;
};

} // namespace veldora::app
