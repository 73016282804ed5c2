#pragma once

#include <QScrollBar>

// A horizontal scroll bar whose keys move it as a desktop scroll bar does:
// Left, Up and Page Up toward the minimum, Right, Down and Page Down toward
// the maximum. (QScrollBar inverts its controls for vertical bars, which
// turns the horizontal arrow keys around.) Each press, auto-repeat included,
// is one step. The thumb shows a focus frame while the bar has the keyboard
// focus, which the usual styles leave unmarked.
class HScrollBar : public QScrollBar {
    Q_OBJECT

public:
    explicit HScrollBar(QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
