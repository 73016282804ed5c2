#pragma once

#include <functional>
#include <memory>

#include <QObject>

#include "runtime/questions.h"

class ImageWindow;
class PictureSource;
class QImage;
class Worker;

// The shown picture at its natural size, for a command (a save, a copy). When
// it must be decoded, that runs on a worker in the window's turn of the decode
// slot, and the program waits as it does under a question: the hourglass, its
// windows disabled, a path handed over kept until the picture is there.
class FullPictureMaker : public QObject {
    Q_OBJECT
public:
    explicit FullPictureMaker(ImageWindow& window);
    ~FullPictureMaker() override;

    // Runs `use` once the window's picture box holds its full picture: at once
    // when it does, else when the decode is done. Never after a failure (which
    // is reported) nor when another picture was shown meanwhile.
    void make(std::function<void()> use);
    bool busy() const { return waiting_ != nullptr; }

private:
    enum class Outcome { Decoded, FileChanged, Failed };
    void arrive(const PictureSource& source, Outcome outcome, const QImage& full, const std::function<void()>& use);
    void wait(bool waiting);

    ImageWindow& window_;
    Worker* worker_;
    std::unique_ptr<questions::Open> waiting_; // while a decode is on its way
};
