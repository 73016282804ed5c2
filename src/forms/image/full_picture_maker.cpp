#include "forms/image/full_picture_maker.h"

#include <new>
#include <utility>

#include "decoder/decode_slot.h"
#include "decoder/jpeg_decoder.h"
#include "decoder/picture_source.h"
#include "decoder/read_ahead.h"
#include "forms/viewing_state.h"
#include "forms/image/image_window.h"
#include "forms/main/main_window.h"
#include "runtime/dialogs.h"
#include "runtime/forms.h"
#include "runtime/mouse_pointer.h"
#include "runtime/run_time_error.h"
#include "runtime/services.h"
#include "runtime/worker.h"

namespace {

QImage decodeFull(const PictureSource& source, std::stop_token stop)
{
    const auto& decoder = services().decodeFull;
    return decoder ? decoder(source, stop) : source.decodeFull(stop);
}

// The window's own turn, shared with the read-ahead when there is one.
std::shared_ptr<DecodeSlot> windowsSlot()
{
    if (MainWindow* mainWindow = forms::loaded<MainWindow>()) {
        mainWindow->readAhead().yield();
        return mainWindow->readAhead().decodeSlot();
    }
    return std::make_shared<DecodeSlot>();
}

} // namespace

FullPictureMaker::FullPictureMaker(ImageWindow& window)
    : QObject(&window)
    , window_(window)
    , worker_(new Worker(this))
{
}

FullPictureMaker::~FullPictureMaker() = default;

void FullPictureMaker::make(std::function<void()> use)
{
    if (window_.picture.holdsFull()) {
        use();
        return;
    }
    if (busy())
        return; // the windows are disabled; nothing asks twice
    const std::shared_ptr<const PictureSource> source = window_.picture.source();
    wait(true);
    worker_->run([this, source, slot = windowsSlot(), use = std::move(use)](std::stop_token stop) -> Worker::Delivery {
        const DecodeSlot::Turn turn = slot->forWindow(stop);
        if (!turn)
            return {};
        Outcome outcome = Outcome::Failed;
        QImage full;
        try {
            full = decodeFull(*source, stop);
            outcome = Outcome::Decoded;
        } catch (const DecodeCancelled&) {
            return {};
        } catch (const FileChangedError&) {
            outcome = Outcome::FileChanged;
        } catch (const RunTimeError&) {
        } catch (const std::bad_alloc&) {
        }
        return [this, source, outcome, full = std::move(full), use] { arrive(*source, outcome, full, use); };
    });
}

void FullPictureMaker::arrive(const PictureSource& source, Outcome outcome, const QImage& full, const std::function<void()>& use)
{
    wait(false);
    if (window_.picture.source().get() != &source)
        return; // another picture is shown: the command was about this one
    if (outcome == Outcome::Decoded) {
        try {
            window_.picture.keepFull(full);
        } catch (const RunTimeError&) {
            outcome = Outcome::Failed;
        }
    }
    if (outcome == Outcome::Decoded) {
        use();
        return;
    }
    // A picture that shows small but fails at full size gets the load's own message.
    dialogs().msgBox(outcome == Outcome::FileChanged
                         ? QStringLiteral("表示した後でファイルが変更されたため、表示した画像を使えません")
                         : QStringLiteral("ファイルが空です"),
                     MsgBoxStyle::OkOnly, QStringLiteral("エラー"));
}

// Disabled as the save dialog disables them, and a question meanwhile.
void FullPictureMaker::wait(bool waiting)
{
    viewing::setProgramWindowsEnabled(!waiting);
    const MousePointer pointer = waiting ? MousePointer::Hourglass : MousePointer::Default;
    mouse_pointer::set(&window_, pointer);
    MainWindow* mainWindow = forms::loaded<MainWindow>();
    if (mainWindow)
        mainWindow->setMousePointer(pointer);
    if (waiting) {
        waiting_ = std::make_unique<questions::Open>(mainWindow);
        return;
    }
    waiting_.reset();
    if (mainWindow && !mainWindow->loadsPicture())
        mainWindow->readAhead().resume();
}
