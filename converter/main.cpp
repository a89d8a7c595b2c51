// spec2wav: raw FFT text dump plus "sr.txt" in, time-stamped complex WAV out.
#include "conversion.h"
#include "errors.h"

int main(int argc, char** argv) {
    orv::runtime::requireProcessor();
    orv::runtime::installSignalReports();
    const orv::converter::ConversionOutcome outcome = orv::converter::runConversion(
        orv::runtime::commandLineText(argc, argv), orv::runtime::programFiles());
    switch (outcome.kind) {
        case orv::converter::ConversionOutcome::Kind::Done:
            orv::runtime::endProgram(0);
        case orv::converter::ConversionOutcome::Kind::RunTimeError:
            orv::runtime::raiseError(outcome.error, outcome.site, orv::converter::converterModule);
        case orv::converter::ConversionOutcome::Kind::Stopped:
            orv::runtime::stopWithMessage(outcome.message, outcome.exitCode);
    }
    orv::runtime::endProgram(0);
}
