#include "receiver/messageoutput.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "orv/outcome.h"
#include "orv/printable.h"
#include "receiver/numbertext.h"

namespace orv::receiver {

std::string printableMessage(std::span<const std::uint8_t> message) {
    return printableText({reinterpret_cast<const char*>(message.data()), message.size()}, Escaping::AllBytes);
}

std::string decodeFigures(const decoder::DecodeResult& r, double symbolPeriod, double startCorrection,
                          double blankedShare) {
    const std::string tail = blankedText(blankedShare) + ", list rank " +
                             (r.found ? wholeText(r.listRank) : std::string("none")) + " of " +
                             wholeText(r.candidatesChecked) + " candidates, decode time " +
                             fixedText(r.seconds, 3) + " s";
    // Without a message there is no winning hypothesis: no figure of one.
    if (!r.found) return "Eb/N0 unknown (no message), " + tail;
    // Symbols without noise have no finite ratio, silent ones none at all.
    const std::string ebN0 = std::isfinite(r.ebN0Db) ? fixedText(r.ebN0Db, 1) + " dB"
                             : r.ebN0Db > 0          ? std::string("unbounded (no noise)")
                                                     : std::string("unknown (no signal)");
    // The carrier is found in cycles per symbol; an operator types Hz.
    return "Eb/N0 " + ebN0 + ", carrier phase " + fixedText(r.phaseDegrees, 1) + " degrees" +
           (r.phaseFollowed ? " (wandering, followed)" : "") + ", frequency correction " +
           numberText(r.frequencyRefinement / symbolPeriod, 3) + " Hz, start correction " +
           numberText(startCorrection, 4) + " s, " + tail;
}

std::string blankedText(double share) { return fixedText(100 * share, 2) + " % of samples blanked"; }

Outcome<void> removeEarlierMessage() {
    if (std::remove(messageFileName) != 0 && errno != ENOENT)
        return Outcome<void>::failure(
            std::string("cannot remove the earlier ") + messageFileName + ": " + std::strerror(errno),
            errFileIO);
    return {};
}

}  // namespace orv::receiver
