#pragma once
// A synthetic Orvane transmission as a raw FFT text dump plus its "sr.txt",
// the input of spec2wav. Deterministic for a given seed.
#include <complex>
#include <cstdint>
#include <string>
#include <vector>

#include "orv/outcome.h"

namespace orv::tools {

struct SignalSettings {
    std::uint64_t seed = 1;
    double sampleRate = 12000;  // recording sample rate, Hz
    double decimation = 48;
    std::uint32_t fftLength = 65536;  // bins of the dump, a power of two >= 16
    bool fftLengthGiven = false;      // --fft-length given: fitRecording keeps it
    double centralFrequency = 137500;
    double recordingStart = 0;        // s since 1970 of the first output sample
    double txStart = 0;               // s since 1970
    double carrier = 137512.25;       // Hz
    double symbolPeriod = 2;          // s
    std::uint32_t symbolCount = 120;  // random symbols (code "0"); a coded message sets its own
    std::string code = "0";           // the receiver's -p; "0": random symbols, no message
    std::string text;                 // the message when coded
    std::int64_t messageBytes = 0;    // N, the receiver's -N; 0: the text's length
    double snrDb = 20;                // signal to noise power per complex sample
    double amplitude = 1;
    std::string outDir = ".";
    std::string name = "fftdata";
    bool helpRequested = false;
};

// The defaults above, with the recording at 2026-12-07 12:00:00 and the
// transmission 10.5 s later.
SignalSettings defaultSettings();

// Parses "--option value" / "--option=value" words over the given settings;
// a failure is one line for standard error with exitBadInput.
Outcome<SignalSettings> parseSignalSettings(const std::vector<std::string>& args,
                                            SignalSettings settings = defaultSettings());
std::string helpText();

struct GeneratedSignal {
    std::string srText;                          // "sr.txt"
    std::string dumpText;                        // NAME.txt
    std::vector<int> symbols;                    // +1 / -1, in order of transmission
    std::vector<std::uint8_t> message;           // the N bytes sent, when coded
    float binSpacing = 0;                        // as the converter computes it
    float outputRate = 0;                        // binSpacing * fftLength, the WAV's sample rate
    double stampSeconds = 0;                     // the dump's time stamp, s since 1970, on the 0.01 s grid
    std::vector<std::complex<double>> baseband;  // x(n), n = 0 .. fftLength-1
};

// Fails with exitBadInput on settings it cannot honour; a transmission that
// does not fit is refused with the --fft-length that would hold it.
Outcome<GeneratedSignal> generateSignal(const SignalSettings& settings);

// Refuses (exitBadInput) a settings.outDir whose parent folder is missing, or
// that is no folder. Only the last level of it is made.
Outcome<> checkOutputFolder(const SignalSettings& settings);

// Writes "sr.txt" and NAME.txt into settings.outDir, both or neither (an
// earlier pair stays as it was); fails with errFileIO.
Outcome<> writeSignalFiles(const SignalSettings& settings, const GeneratedSignal& signal);

// One line per fact a user of the chain needs (files, offsets, launcher inputs).
std::string describeSignal(const SignalSettings& settings, const GeneratedSignal& signal);

}  // namespace orv::tools
