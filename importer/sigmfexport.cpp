#include "importer.h"

namespace orv::importer {

Outcome<std::string> exportSigmf(const ImportOptions&, const ProgressReport&) {
    return Failure::stop("not yet", exitBadInput);
}

}  // namespace orv::importer
