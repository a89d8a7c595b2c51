// The launcher reads back what the real converter writes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "launcher/offsets.h"
#include "testfolder.h"

namespace orv::launcher {

TEST(Spec2wavScanTest, ReadsTheConvertersInformation) {
    TestFolder folder;
    folder.write("sr.txt", "12000,48,4096\r\n137500\r\n");
    // Bins whose float bytes hold CR and tag-like text must not disturb the scan.
    std::string fft = "20151109,123456.75,0,0\r\n";
    for (int i = 0; i < 16; ++i) fft += std::to_string(i * 0.25) + "," + std::to_string(13 - i) + "\r\n";
    folder.write("fftdata.txt", fft);

    std::string command = std::string("'") + SPEC2WAV_PROGRAM + "' fftdata.txt > console.txt";
    ASSERT_EQ(std::system(command.c_str()), 0) << folder.read("console.txt");

    LauncherState state;
    state.waveFileTitle = "fftdata.wav";
    readWaveInfo(state);
    // Bin spacing 12000/48/4096 = 0.06103515625 Hz; start 12:34:56.75 less half
    // an FFT span (8.192 s), on a 0.01 s grid.
    EXPECT_EQ(state.centralFrequencyText, "137500");
    EXPECT_EQ(state.Label1, "central frequency = 137500 [Hz]");
    EXPECT_EQ(state.Label2, "UTC file start: 2015-11-09 12:34:48.56");
    EXPECT_EQ(state.Label3, "sample rate = 0.9765625 [samples/s]");
    EXPECT_DOUBLE_EQ(state.fileStartSeconds, 45288.56);
}

}  // namespace orv::launcher
