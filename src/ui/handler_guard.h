#pragma once

#include <concepts>
#include <cstdlib>
#include <exception>
#include <new>
#include <utility>

#include <QString>
#include <QtGlobal>

#include "runtime/app.h"
#include "ui/dialogs.h"
#include "runtime/run_time_error.h"

// Every handler the event loop calls (signals, list box callbacks, timers,
// mouse callbacks) runs inside guarded(), so no exception crosses the event
// loop. A classic run-time error that no trap took is reported the way the
// classic runtime reports it, and the program ends. Any other exception is a
// fault of the program: it is logged and the process aborts, so it is never
// mistaken for a damaged file or a missing folder.
namespace handler_guard {

// The classic runtime's text for an error number.
inline QString description(int number)
{
    switch (number) {
    case RunTimeError::Overflow: return QStringLiteral("オーバーフローしました。");
    case RunTimeError::OutOfMemory: return QStringLiteral("メモリが不足しています。");
    case RunTimeError::TypeMismatch: return QStringLiteral("型が一致しません。");
    case RunTimeError::FileNotFound: return QStringLiteral("ファイルが見つかりません。");
    case RunTimeError::FileAlreadyOpen: return QStringLiteral("ファイルは既に開かれています。");
    case RunTimeError::DeviceIO: return QStringLiteral("デバイス I/O エラーです。");
    case RunTimeError::DeviceUnavailable: return QStringLiteral("デバイスが準備されていません。");
    case RunTimeError::PermissionDenied: return QStringLiteral("書き込みできません。");
    case RunTimeError::PathFileAccess: return QStringLiteral("パス名が無効です。");
    case RunTimeError::PathNotFound: return QStringLiteral("パスが見つかりません。");
    case RunTimeError::InvalidPicture: return QStringLiteral("ピクチャが不正です。");
    case RunTimeError::DialogCancelled: return QStringLiteral("[キャンセル] が選択されました。");
    default: return QStringLiteral("アプリケーション定義またはオブジェクト定義のエラーです。");
    }
}

// The report box of an untrapped run-time error, then the end of the program.
inline void reportUntrapped(const RunTimeError& error)
{
    qWarning("untrapped run-time error %d: %s", error.number(), error.what());
    dialogs().msgBox(QStringLiteral("実行時エラー '%1':\n\n%2").arg(error.number()).arg(description(error.number())),
                     MsgBoxStyle::Critical, App::Title);
    End();
}

[[noreturn]] inline void fail(const char* what)
{
    qCritical("unexpected exception in a handler: %s", what);
    std::abort();
}

template <class F, class... Args>
void run(F& handler, Args&&... args)
{
    try {
        handler(std::forward<Args>(args)...);
    } catch (const ProgramEnded&) {
        throw; // End() as the tests replace it
    } catch (const RunTimeError& error) {
        reportUntrapped(error);
    } catch (const std::exception& error) {
        fail(error.what());
    } catch (...) {
        fail("an exception of unknown type");
    }
}

} // namespace handler_guard

// The handler wrapped for the event loop. It takes exactly the arguments the
// handler takes, so a signal with more arguments connects as it would to the
// handler itself.
template <class F>
auto guarded(F handler)
{
    return [handler = std::move(handler)](auto&&... args) mutable
        requires std::invocable<F&, decltype(args)...>
    {
        handler_guard::run(handler, std::forward<decltype(args)>(args)...);
    };
}
