#pragma once
// What the launcher does on each event of its window, on a LauncherState, so
// the window is only a view and tests run every sequence without one.
#include <string>

#include "launcher/filechooser.h"
#include "launcher/launcherstate.h"
#include "launcher/programstarter.h"

namespace orv::launcher {

// The receiver's command line as "Launch Orvane-rx" builds it: offsets
// recalculated, an empty or non-positive symbol period and message length
// given their defaults ("1.0", "1") in the boxes.
std::string receiverLaunchLine(LauncherState& state);

class Launchpad {
public:
    // ownFolder: where the file dialogs start (the launcher's program folder).
    Launchpad(LauncherState& state, FileChooser& dialogs, ProgramStarter& starter, std::string ownFolder);

    // Window opened: boxes from "Wendrake.ini" and "sr.txt", convert disabled.
    void startUp();
    // Click on Text4 or Command5: wave-file dialog, then readWaveInfo.
    void chooseWaveFile();
    // Click on Text8 or Command4: FFT-file dialog; a chosen file enables convert.
    void chooseFftFile();
    // "Calculate offsets".
    void calculate();
    // "Launch Orvane-rx": save the settings, recalculate, default the symbol
    // period and message length, start the receiver. Without a wave file it
    // only says so in the status line.
    void launchReceiver();
    // "convert raw FFT to Wave": write "sr.txt", start the converter, empty
    // Text8 and disable the button.
    void convertRawFft();
    // "Launch Phaseview".
    void launchViewer();
    // Asked now and then: a failure the starter learnt after a start had
    // returned goes to the status line. True when the line changed.
    bool checkStarts();

    LauncherState& state() { return state_; }

private:
    // A choice moves the current folder to the chosen file's folder, as the
    // started programs look for their files there. Returns the file's name.
    std::string choose(const FileDialogRequest& request, const std::string& previousTitle);
    void start(const std::string& commandLine, WindowStyle style);

    LauncherState& state_;
    FileChooser& dialogs_;
    ProgramStarter& starter_;
    std::string ownFolder_;
};

}  // namespace orv::launcher
