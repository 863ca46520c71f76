#pragma once
// The About box: name, version, picture and two credit lines. Created hidden at
// start-up, shown without blocking, hidden by its close box. Main thread only.
#include <QWidget>

class QLabel;
class PictureImage;

class TForm3 : public QWidget {
    Q_OBJECT
  public:
    // Sets Form3.
    TForm3();
    ~TForm3() override;

    static constexpr int kClientWidth = 224;
    static constexpr int kClientHeight = 86;

    PictureImage* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
};
