// orvane-import: recordings of other software in as tool-set WAVs, and
// tool-set WAVs out as SigMF recordings.
#include <cstdio>
#include <string>
#include <vector>

#include "importer/importer.h"
#include "orv/replacingfile.h"
#include "orv/startup.h"

int main(int argc, char** argv) {
    orv::prepareStandardStreams();
    orv::removeTemporaryFilesOnSignals();
    const auto options = orv::importer::parseImportOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options) {
        std::fprintf(stderr, "orvane-import: %s\n", options.error().c_str());
        return options.exitCode();
    }
    if (options->helpRequested) {
        std::fputs(orv::importer::helpText().c_str(), stdout);
        return 0;
    }
    orv::importer::ProgressLine line(stdout);
    orv::importer::ProgressReport progress;
    if (!options->quiet) progress = std::ref(line);
    const auto done = options->sigmfOut ? orv::importer::exportSigmf(*options, progress)
                                        : orv::importer::importRecording(*options, progress);
    line.finish();
    if (!done) {
        std::fprintf(stderr, "orvane-import: %s\n", done.error().c_str());
        return done.exitCode();
    }
    std::printf("%s\n", done->c_str());
    return 0;
}
