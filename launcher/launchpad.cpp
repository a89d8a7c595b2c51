#include "launcher/launchpad.h"

#include <filesystem>
#include <system_error>

#include "launcher/commandline.h"
#include "launcher/numbertext.h"
#include "launcher/offsets.h"
#include "launcher/settingsfiles.h"

namespace orv::launcher {

std::string receiverLaunchLine(LauncherState& state) {
    calculateOffsets(state);
    if (textToNumber(state.Text6) <= 0) state.Text6 = "1.0";
    if (textToNumber(state.Text7) <= 0) state.Text7 = "1";
    return receiverCommandLine(state);
}

Launchpad::Launchpad(LauncherState& state, FileChooser& dialogs, ProgramStarter& starter,
                     std::string ownFolder)
    : state_(state), dialogs_(dialogs), starter_(starter), ownFolder_(std::move(ownFolder)) {}

void Launchpad::startUp() {
    loadSettings(state_);
    state_.Text3 = state_.settings[0];
    state_.Text6 = state_.settings[3];
    state_.Text7 = state_.settings[4];
    state_.Text14 = state_.settings[1];
    state_.Text15 = state_.settings[2];
    state_.Command3Enabled = false;
    loadSampleRates(state_);
    state_.Text10 = plainNumberText(state_.recording[0]);
    state_.Text11 = plainNumberText(state_.recording[1]);
    state_.Text12 = plainNumberText(state_.recording[2]);
    state_.Text13 = plainNumberText(state_.recording[3]);
}

std::string Launchpad::choose(const FileDialogRequest& request, const std::string& previousTitle) {
    std::string chosen = dialogs_.chooseFile(request);
    // A dialog ended without a choice keeps the previous title, as a reused
    // dialog keeps its last file name.
    if (chosen.empty()) return previousTitle;
    std::filesystem::path path(chosen);
    std::error_code ignored;
    if (path.has_parent_path()) std::filesystem::current_path(path.parent_path(), ignored);
    return path.filename().string();
}

void Launchpad::chooseWaveFile() {
    state_.waveFileTitle =
        choose({"Open Orvane .wav file", ownFolder_, ".wav", "*.wav", "wav"}, state_.waveFileTitle);
    state_.Text4 = state_.waveFileTitle;
    readWaveInfo(state_);
}

void Launchpad::chooseFftFile() {
    state_.fftFileTitle = choose({"", ownFolder_, ".txt", "*.txt", ""}, state_.fftFileTitle);
    state_.Text8 = state_.fftFileTitle;
    if (!state_.fftFileTitle.empty()) state_.Command3Enabled = true;
}

void Launchpad::calculate() { calculateOffsets(state_); }

void Launchpad::launchReceiver() {
    if (state_.waveFileTitle.empty()) {
        // Nothing else happens; the line only says why.
        state_.statusText = "no wave file chosen: choose one under \"Wave file to decode\" first";
        return;
    }
    saveSettings(state_);  // before the defaults, as the operator typed them
    start(receiverLaunchLine(state_), WindowStyle::normalFocus);
}

void Launchpad::convertRawFft() {
    saveSampleRates(state_);  // closed before the converter starts: it reads the file at once
    start(converterCommandLine(state_), WindowStyle::minimisedFocus);
    state_.Text8.clear();
    state_.Command3Enabled = false;
}

void Launchpad::launchViewer() { start(viewerCommandLine(), WindowStyle::normalFocus); }

bool Launchpad::checkStarts() {
    std::optional<std::string> late = starter_.lateReport();
    if (!late) return false;
    state_.statusText = *late;
    return true;
}

void Launchpad::start(const std::string& commandLine, WindowStyle style) {
    std::optional<std::string> failure = starter_.start(commandLine, style);
    state_.statusText = failure ? *failure : std::string();
}

}  // namespace orv::launcher
