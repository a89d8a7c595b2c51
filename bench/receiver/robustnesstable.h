#pragma once
// bench_decoder table: the receiver's robustness table at the sample level.
#include <string>

// rows: the conditions to run as letters, a the first ("" for all).
int runRobustnessTable(int trials, int noiseTrials, const std::string& csvPath, unsigned cores,
                       const std::string& rows);
