#pragma once

#include <cstdint>

#include <QWidget>

class QLabel;
class QTimer;

// The splash: shown at start, it hands over to StartMain on the first tick.
class Form4 : public QWidget {
public:
    Form4();

    void Timer1_Timer();

    QTimer* Timer1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Image1;

    std::int16_t ticks = 0;
};
