#pragma once

#include <cstdint>

#include <QWidget>

class QLabel;
class QTimer;

// The splash: shown at start, it hands over to startMainWindow on the first tick.
class SplashScreen : public QWidget {
    Q_OBJECT

public:
    SplashScreen();

    void onCloseTimer();

    QTimer* closeTimer;
    QLabel* makerLabel;
    QLabel* titleLabel;
    QLabel* logo;

    bool handedOver = false;
};
