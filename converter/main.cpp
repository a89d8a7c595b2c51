// spec2wav: raw FFT text dump plus "sr.txt" in, time-stamped complex WAV out.
#include "converter/conversion.h"
#include "orv/startup.h"
#include "runtime/errors.h"

int main(int argc, char** argv) {
    orv::prepareStandardStreams();
    orv::runtime::requireProcessor();
    orv::runtime::installSignalReports();
    const auto outcome = orv::converter::runConversion(orv::runtime::commandLineText(argc, argv),
                                                       orv::runtime::programFiles());
    if (!outcome) orv::runtime::endWithFailure(outcome.failure(), orv::converter::converterModule);
    orv::runtime::endProgram(0);
}
