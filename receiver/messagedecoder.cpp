#include "messagedecoder.h"

namespace orv::receiver {

DecodeResult decodeMessage(const MessageCode&, std::int64_t, std::span<const std::complex<double>>,
                           const DecodeSettings&) {
    return {};
}

}  // namespace orv::receiver
