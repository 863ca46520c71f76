// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The About box: name, version, picture and two credit lines. Created hidden at
// start-up, shown without blocking, hidden by its close box. Main thread only.
#include <QWidget>

#include "app/ProgramState.h"

class QLabel;

namespace veldora::app {

class PictureImage;

class TForm3 : public QWidget {
    Q_OBJECT
  public:
    // Keeps `state`, which must outlive the box, and registers as its Form3.
    explicit TForm3(ProgramState& state);
    ~TForm3() override;

    static constexpr int kClientWidth = 224;
    static constexpr int kClientHeight = 86;

    PictureImage* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;

  private:
    ProgramState& State;
};

} // namespace veldora::app
