#pragma once

#include <new>
#include <stdexcept>
#include <string>

// A run-time error with the number the original platform gives it.
// Handlers with an error trap catch it; it never crosses the event loop.
class RunTimeError : public std::runtime_error {
public:
    enum Number : int {
        Overflow = 6,
        OutOfMemory = 7,
        TypeMismatch = 13,
        FileNotFound = 53,
        FileAlreadyOpen = 55,
        DeviceIO = 57,
        DeviceUnavailable = 68,
        PermissionDenied = 70,
        PathFileAccess = 75,
        PathNotFound = 76,
        InvalidPicture = 481,
        DialogCancelled = 32755,
    };

    explicit RunTimeError(int number, const std::string& what = {})
        : std::runtime_error(what.empty() ? "run-time error " + std::to_string(number) : what)
        , number_(number)
    {
    }

    int number() const { return number_; }

private:
    int number_;
};

// Runs work that takes picture-sized memory: running out of it is the classic
// run-time error 7, which the handler's trap takes like any other.
template <class F>
decltype(auto) withMemoryAsRunTimeError(F&& work)
{
    try {
        return work();
    } catch (const std::bad_alloc&) {
        throw RunTimeError(RunTimeError::OutOfMemory, "out of memory");
    }
}
