// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The file-name dialog: changes the main window's DataFileName. Created hidden at
// start-up and shown without blocking; hiding never destroys it. Main thread only.
#include <QWidget>

#include "app/ProgramState.h"

class QLineEdit;
class QPushButton;

namespace veldora::app {

class TForm1 : public QWidget {
    Q_OBJECT
  public:
    // Keeps `state`, which must outlive the dialog, and registers as its Form1.
    explicit TForm1(ProgramState& state);
    ~TForm1() override;

    static constexpr int kClientWidth = 187;
    static constexpr int kClientHeight = 64;

    void Button1Click(); // "Ok": DataFileName := the text as typed; hide
    void Button2Click(); // "Cancel": hide

    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

  private:
    ProgramState& State;
};

} // namespace veldora::app
