#pragma once

#include <vector>

#include <QString>

#include "platform/launcher.h"
#include "platform/run_time_error.h"

// A launcher double: records every command line and starts nothing, or fails
// as a launcher that cannot start the program does.
class RecordingLauncher : public Launcher {
public:
    struct Call {
        QString commandLine;
        int windowStyle = 0;
    };

    RecordingLauncher() { setLauncher(this); }
    ~RecordingLauncher() override { setLauncher(nullptr); }
    RecordingLauncher(const RecordingLauncher&) = delete;
    RecordingLauncher& operator=(const RecordingLauncher&) = delete;

    // Every later call throws the run-time error with this number.
    void failWith(int number) { failure_ = number; }

    void Shell(const QString& commandLine, int windowStyle) override
    {
        calls.push_back({commandLine, windowStyle});
        if (failure_ != 0)
            throw RunTimeError(failure_);
    }

    std::vector<Call> calls;

private:
    int failure_ = 0;
};
