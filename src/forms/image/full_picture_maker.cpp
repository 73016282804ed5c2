#include "forms/image/full_picture_maker.h"

#include <new>
#include <utility>

#include "decoder/decode_slot.h"
#include "decoder/jpeg_decoder.h"
#include "decoder/picture_source.h"
#include "decoder/read_ahead.h"
#include "forms/about/about_dialog.h"
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
        try {
            QImage full = decodeFull(*source, stop);
            return [this, source, full = std::move(full), use] {
                wait(false);
                if (window_.picture.source() != source)
                    return; // another picture is shown: the command was about this one
                try {
                    window_.picture.keepFull(full);
                } catch (const RunTimeError&) {
                    failed(false);
                    return;
                }
                use();
            };
        } catch (const DecodeCancelled&) {
            return {};
        } catch (const FileChangedError&) {
            return [this] {
                wait(false);
                failed(true);
            };
        } catch (const RunTimeError&) {
        } catch (const std::bad_alloc&) {
        }
        return [this] {
            wait(false);
            failed(false);
        };
    });
}

// Disabled as the save dialog disables them, and a question meanwhile.
void FullPictureMaker::wait(bool waiting)
{
    forms::setEnabled<ImageWindow>(!waiting);
    forms::setEnabled<MainWindow>(!waiting);
    forms::setEnabled<AboutDialog>(!waiting);
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

void FullPictureMaker::failed(bool fileChanged)
{
    // A picture that shows small but fails at full size gets the load's own message.
    dialogs().msgBox(fileChanged ? QStringLiteral("表示した後でファイルが変更されたため、表示した画像を使えません")
                                 : QStringLiteral("ファイルが空です"),
                     MsgBoxStyle::OkOnly, QStringLiteral("エラー"));
}
