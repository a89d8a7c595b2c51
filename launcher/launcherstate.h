#pragma once
// Everything the launcher knows, without a window: the form is only a view of
// this. The box and label members keep the form's control names so each
// behaviour can be found by name.
#include <array>
#include <string>
#include <string_view>

namespace orv::launcher {

struct LauncherState {
    // Names without folder of the chosen files; the launch commands take them
    // from here, never from Text4 or Text8, which only show them.
    std::string waveFileTitle;
    std::string fftFileTitle;

    double fileStartSeconds = 0;       // recording start, seconds after 00:00 UTC
    std::string centralFrequencyText;  // digits found after "rf="
    bool waveInfoMissing = false;      // the chosen wave file has no information block
    double startOffset = 0;            // seconds, 3 decimals
    double frequencyOffset = 0;        // Hz, 5 decimals

    // "Wendrake.ini" as last read: Tx frequency, core, polynomial, symbol period,
    // message length.
    std::array<std::string, 5> settings;
    // "sr.txt" as last read: sample rate, decimation, FFT length, central frequency.
    std::array<double, 4> recording{};

    // Box texts.
    std::string Text1 = "00";      // start hours
    std::string Text2 = "00";      // start minutes
    std::string Text3;             // Tx frequency [Hz]
    std::string Text4;             // wave file title (display)
    std::string Text5 = "00.000";  // start seconds
    std::string Text6;             // symbol period [s]
    std::string Text7;             // message length
    std::string Text8;             // FFT file title (display)
    std::string Text10;            // sample rate
    std::string Text11;            // decimation
    std::string Text12;            // FFT length
    std::string Text13;            // central frequency
    std::string Text14;            // core
    std::string Text15;            // polynomial

    // Label texts.
    std::string Label1;  // central frequency found in the wave file
    std::string Label2;  // UTC file start
    std::string Label3;  // sample rate found in the wave file
    std::string Label4;  // frequency offset
    std::string Label5;  // start offset

    bool Command3Enabled = false;  // "convert raw FFT to Wave"
    std::string statusText;        // why the last launch could not start its program

    // The text of a box or label by control name ("Text3", "Label5"); nullptr
    // for any other name. Lets a view copy texts in and out by name.
    std::string* text(std::string_view controlName);
    const std::string* text(std::string_view controlName) const;
};

// Control names that text() knows, boxes first, then labels.
extern const std::array<std::string_view, 19> controlNames;

}  // namespace orv::launcher
