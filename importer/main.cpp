// orvane-import: recordings of other software in as tool-set WAVs, and
// tool-set WAVs out as SigMF recordings.
#include <cstdio>
#include <functional>
#include <ios>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "importer/importer.h"
#include "orv/consolemain.h"
#include "orv/replacingfile.h"
#include "orv/startup.h"
#include "orv/version.h"

namespace {

orv::Outcome<orv::ConsoleReport> run(const std::vector<std::string>& args) {
    using namespace orv::importer;
    const auto options = parseImportOptions(args);
    if (!options) return options.failure();
    if (options->helpRequested) return orv::ConsoleReport{helpText()};
    ProgressLine line(stdout);
    ProgressReport progress;
    if (!options->quiet) progress = std::ref(line);
    const auto done =
        options->sigmfOut ? exportSigmf(*options, progress) : importRecording(*options, progress);
    line.finish();
    if (!done) return done.failure();
    return orv::ConsoleReport{*done + "\n"};
}

// What the library does not turn into a failure of its own still ends in one
// line and a documented code.
orv::Outcome<orv::ConsoleReport> guarded(const std::vector<std::string>& args) {
    try {
        return run(args);
    } catch (const std::bad_alloc&) {
        return orv::Failure::stop("out of memory", orv::errOutOfMemory);
    } catch (const std::length_error&) {
        return orv::Failure::stop("out of memory", orv::errOutOfMemory);
    } catch (const std::ios_base::failure& e) {
        return orv::Failure::stop(std::string("a file could not be read: ") + e.what(), orv::errFileIO);
    } catch (const std::exception& e) {
        return orv::Failure::stop(std::string("stopped: ") + e.what(), orv::errFileIO);
    }
}

}  // namespace

int main(int argc, char** argv) {
    orv::prepareStandardStreams();
    if (orv::versionRequested(argc, argv))
        return orv::finishConsoleProgram("orvane-import",
                                         orv::ConsoleReport{orv::versionLine("orvane-import")});
    orv::removeTemporaryFilesOnSignals();
    return orv::finishConsoleProgram("orvane-import", guarded({argv + 1, argv + argc}));
}
