// spec2wav: raw FFT text dump plus "sr.txt" in, time-stamped complex WAV out.
#include "conversion.h"
#include "errors.h"

int main(int argc, char** argv) {
    orv::requireProcessor();
    orv::installSignalReports();
    const orv::ConversionOutcome outcome =
        orv::runConversion(orv::commandLineText(argc, argv), orv::programFiles());
    switch (outcome.kind) {
        case orv::ConversionOutcome::Kind::Done:
            orv::endProgram(0);
        case orv::ConversionOutcome::Kind::RunTimeError:
            orv::raiseError(outcome.error, outcome.site, orv::converterModule);
        case orv::ConversionOutcome::Kind::Stopped:
            orv::stopWithMessage(outcome.message, outcome.exitCode);
    }
    orv::endProgram(0);
}
