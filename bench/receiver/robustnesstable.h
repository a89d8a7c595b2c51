#pragma once
// bench_decoder table: the receiver's robustness table at the sample level.
#include <string>

int runRobustnessTable(int trials, int noiseTrials, const std::string& csvPath, unsigned cores);
