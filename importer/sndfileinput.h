#pragma once
// A WAV file read by libsndfile through our own reads, with what libsndfile
// itself will not say: a header rate of 0, which it refuses to open, reads as
// 1 (the rate must come from --rate), and a "data" chunk before "fmt ", which
// it cannot read, is named as such.
#include <sndfile.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "orv/outcome.h"

namespace orv::importer {

class SndFileInput {
public:
    // A failure says why, exitBadInput.
    static Outcome<std::unique_ptr<SndFileInput>> open(const std::string& path);
    ~SndFileInput();
    SndFileInput(const SndFileInput&) = delete;
    SndFileInput& operator=(const SndFileInput&) = delete;

    SNDFILE* file() const { return sound_; }
    const SF_INFO& info() const { return info_; }
    bool headerRateZero() const { return rateOffset_ >= 0; }
    bool readFailed() const { return readFailed_; }

private:
    SndFileInput() = default;
    static sf_count_t length(void* self);
    static sf_count_t seek(sf_count_t offset, int whence, void* self);
    static sf_count_t read(void* to, sf_count_t count, void* self);
    static sf_count_t write(const void*, sf_count_t, void*);
    static sf_count_t tell(void* self);

    std::FILE* bytes_ = nullptr;
    SNDFILE* sound_ = nullptr;
    SF_INFO info_{};
    std::int64_t size_ = 0;
    std::int64_t rateOffset_ = -1;  // where the header's rate of 0 lies, -1 for none
    bool readFailed_ = false;
};

}  // namespace orv::importer
