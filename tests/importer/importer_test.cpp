// Recordings of other software through the importer's library, read back with
// the receiver's WAV reader: what orvane-rx sees is what is checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <complex>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "importer/importer.h"
#include "orv/wavout.h"
#include "receiver/wavefile.h"
#include "support/scratchfolder.h"
#include "support/wavbytes.h"

namespace orv::importer {
namespace {

namespace fs = std::filesystem;

template <class Case>
requires requires(const Case& c) { c.name; }
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

using testsupport::floatBytes;

std::string meta(const std::string& datatype, const std::string& extra = "") {
    return R"({"global": {"core:datatype": ")" + datatype +
           R"(", "core:sample_rate": 250, "core:version": "1.0.0"},
 "captures": [{"core:sample_start": 0, "core:frequency": 137500,
   "core:datetime": "2026-12-07T10:00:00.25Z"}], "annotations": [)" +
           extra + "]}";
}

// A ci8 meta at 250 samples/s with more global members and the captures given.
std::string layoutMeta(const std::string& global, const std::string& captures) {
    return R"({"global": {"core:datatype": "ci8", "core:sample_rate": 250, )" + global +
           R"(}, "captures": [)" + captures + "}]}";
}
std::string capture(const std::string& fraction) {
    return R"("core:frequency": 137500, "core:datetime": "2026-12-07T10:00:00)" + fraction + "Z\"";
}

class Importer : public ::testing::Test {
protected:
    void writeFile(const std::string& name, const std::string& bytes) { folder_.write(name, bytes); }
    // Runs the importer on a command line with the output name last.
    Outcome<std::string> run(std::vector<std::string> args, const std::string& output = "out.wav") {
        args.push_back(output);
        const auto options = parseImportOptions(args);
        if (!options) return options.failure();
        return options->sigmfOut ? exportSigmf(*options, nullptr) : importRecording(*options, nullptr);
    }
    // Only the files the test made: no output and no temporary file left behind.
    std::vector<std::string> folderNames() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(".")) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    testsupport::ScratchFolder folder_{"orvane-import"};
    testsupport::EnteredFolder entered_{folder_.path()};
};

// Each SigMF datatype's samples with known values, as the tool set stores them:
// full scale 1 and Q negated (the tool set keeps the conjugate).
// Then the layouts a meta may describe: bytes around the samples, indices
// counted from a core:offset, captures listed out of order, another file.
struct Datatype {
    const char* name;
    const char* datatype;
    std::string bytes;
    std::vector<std::complex<float>> stored;
    std::string metaText = meta(datatype);
    const char* dataFile = "rec.sigmf-data";
};

// One ci8 frame (1, -1) where the meta says.
Datatype ci8Layout(const char* name, std::string bytes, std::string metaText,
                   const char* dataFile = "rec.sigmf-data") {
    return {name, "ci8", std::move(bytes), {{1 / 128.0f, 1 / 128.0f}}, std::move(metaText), dataFile};
}

class SigmfDatatype : public Importer, public ::testing::WithParamInterface<Datatype> {};

TEST_P(SigmfDatatype, ReadsKnownSamples) {
    const auto& c = GetParam();
    writeFile("rec.sigmf-meta", c.metaText);
    writeFile(c.dataFile, c.bytes);
    const auto done = run({"rec.sigmf-meta"});
    ASSERT_TRUE(done) << done.error();
    const auto wave = receiver::readWave("out.wav");
    ASSERT_TRUE(wave) << wave.error();
    EXPECT_EQ(wave->infoText, "sr=250 rf=137500 ut=1796637600.25");
    ASSERT_EQ(wave->samples.size(), c.stored.size());
    for (std::size_t i = 0; i < c.stored.size(); ++i) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(wave->samples[i].real()),
                  std::bit_cast<std::uint32_t>(c.stored[i].real()))
            << i;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(wave->samples[i].imag()),
                  std::bit_cast<std::uint32_t>(c.stored[i].imag()))
            << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EachType, SigmfDatatype,
    ::testing::Values(Datatype{"Cf32",
                               "cf32_le",
                               floatBytes({{1.5f, -0.25f}, {-0.0f, 0.0f}, {3e-39f, -7e5f}}),
                               {{1.5f, 0.25f}, {-0.0f, -0.0f}, {3e-39f, 7e5f}}},
                      Datatype{"Ci16",
                               "ci16_le",
                               std::string("\x00\x80\xff\x7f\x01\x00\xff\xff", 8),
                               {{-1.0f, -32767 / 32768.0f}, {1 / 32768.0f, 1 / 32768.0f}}},
                      Datatype{"Ci8",
                               "ci8",
                               std::string("\x80\x7f\x01\xff", 4),
                               {{-1.0f, -127 / 128.0f}, {1 / 128.0f, 1 / 128.0f}}},
                      Datatype{"Cu8",
                               "cu8",
                               std::string("\x00\xff\x7f\x80", 4),
                               {{-127.5f / 128, -127.5f / 128}, {-0.5f / 128, -0.5f / 128}}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Layouts, SigmfDatatype,
    ::testing::Values(
        ci8Layout("HeaderAndTrailingBytes", std::string("head\x01\xff", 6) + "end",
                  layoutMeta(R"("core:trailing_bytes": 3)", R"({"core:header_bytes": 4, )" + capture(".25"))),
        ci8Layout("OffsetAndUnsortedCaptures", std::string("\x7f\x00\x01\xff", 4),
                  layoutMeta(R"("core:offset": 1000)", R"({"core:sample_start": 1002, )" + capture(".254") +
                                                           R"(}, {"core:sample_start": 1001, )" +
                                                           capture(".25"))),
        ci8Layout("Dataset", "\x01\xff", layoutMeta(R"("core:dataset": "samples.bin")", "{" + capture(".25")),
                  "samples.bin")),
    [](const auto& info) { return std::string(info.param.name); });

// The cut keeps frames [round(from x rate), round(to x rate)) and moves the start with it.
struct Cut {
    const char* name;
    std::vector<std::string> options;
    std::size_t first, count;
    const char* info;
};

class CutPart : public Importer, public ::testing::WithParamInterface<Cut> {};

TEST_P(CutPart, KeepsFramesAndMovesStart) {
    const auto& c = GetParam();
    std::vector<std::complex<float>> samples;
    for (int i = 0; i < 1000; ++i) samples.emplace_back(float(i), 0.0f);
    writeFile("rec.cf32", floatBytes(samples));
    std::vector<std::string> args = {"--cf32",   "rec.cf32", "--centre",
                                     "137500.5", "--start",  "2026-12-07 10:00:00.25"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const auto done = run(args);
    ASSERT_TRUE(done) << done.error();
    const auto wave = receiver::readWave("out.wav");
    ASSERT_TRUE(wave) << wave.error();
    EXPECT_EQ(wave->infoText, c.info);
    ASSERT_EQ(wave->samples.size(), c.count);
    EXPECT_EQ(wave->samples.front().real(), float(c.first));
    EXPECT_EQ(wave->samples.back().real(), float(c.first + c.count - 1));
}

INSTANTIATE_TEST_SUITE_P(
    FromTo, CutPart,
    ::testing::Values(
        Cut{"Whole", {"--rate", "250"}, 0, 1000, "sr=250 rf=137500.5 ut=1796637600.25"},
        Cut{"From", {"--rate", "250", "--from", "1.5"}, 375, 625, "sr=250 rf=137500.5 ut=1796637601.75"},
        Cut{"To", {"--rate", "250", "--to", "2"}, 0, 500, "sr=250 rf=137500.5 ut=1796637600.25"},
        // 0.999 s is 249.75 frames: the cut goes to the nearest frame, the start with it.
        Cut{"Between",
            {"--rate", "250", "--from", "0.999", "--to", "3.999"},
            250,
            750,
            "sr=250 rf=137500.5 ut=1796637601.25"},
        Cut{"ExactRate",
            {"--rate", "250.0001", "--from", "2"},
            500,
            500,
            "sr=250.0001 rf=137500.5 ut=1796637602.249999"}),
    [](const auto& info) { return std::string(info.param.name); });

// Every bad input ends with its exit code and a line naming the trouble, and leaves no file.
struct BadInput {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> args;
    int exitCode;
    const char* message;
    std::uintmax_t rawLength = 0;  // grows rec.cf32 (sparse) to this many bytes
    const char* output = "out.wav";
};

class BadInputs : public Importer, public ::testing::WithParamInterface<BadInput> {};

TEST_P(BadInputs, RefusedCleanly) {
    const auto& c = GetParam();
    for (const auto& [name, bytes] : c.files) writeFile(name, bytes);
    if (c.rawLength) fs::resize_file("rec.cf32", c.rawLength);
    const auto before = folderNames();
    const auto done = run(c.args, c.output);
    ASSERT_FALSE(done);
    EXPECT_EQ(done.exitCode(), c.exitCode);
    EXPECT_NE(done.error().find(c.message), std::string::npos) << done.error();
    EXPECT_EQ(done.error().find('\n'), std::string::npos);
    EXPECT_EQ(folderNames(), before);
}

const std::string twoFrames = floatBytes({{1, 0}, {0, 1}});
const std::vector<std::string> values = {"--rate", "250", "--centre", "1", "--start", "2026-12-07 10:00:00"};

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more = values) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

std::string doubleBytes(std::initializer_list<double> values) {
    std::string bytes;
    for (const double v : values) bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
    return bytes;
}

std::string wavOf(std::uint16_t tag, std::uint16_t bits, std::uint32_t rate, const std::string& samples) {
    return testsupport::wavBytes({tag, 2, bits, rate, ""}, samples);
}

// A second capture at sample 1 with these members.
std::string secondCapture(const std::string& members) {
    return layoutMeta(R"("core:offset": 0)",
                      "{" + capture(".25") + R"(}, {"core:sample_start": 1, )" + members);
}

BadInput metaRefused(const char* name, const std::string& metaText, const char* message) {
    return {name, {{"rec.sigmf-meta", metaText}, {"rec.sigmf-data", "ab"}}, {"rec.sigmf-meta"}, 20, message};
}

std::string wavCut() {  // a 16-bit WAV whose data chunk promises 400 bytes but holds 8
    testsupport::WavLayout pcm;
    pcm.formatTag = 1;
    pcm.bits = 16;
    pcm.info.clear();
    return testsupport::wavBytes(pcm, std::string(400, '\1')).substr(0, 52);
}

INSTANTIATE_TEST_SUITE_P(
    EachKind, BadInputs,
    ::testing::Values(
        BadInput{"Missing", {}, {"none.wav"}, 2, "none.wav: file not found"},
        BadInput{"DataMissing",
                 {{"rec.sigmf-meta", meta("cf32_le")}},
                 {"rec.sigmf-meta"},
                 2,
                 "rec.sigmf-data: file not found"},
        BadInput{"DataShort",
                 {{"rec.sigmf-meta", meta("cf32_le", R"({"core:sample_start": 1, "core:sample_count": 2})")},
                  {"rec.sigmf-data", twoFrames}},
                 {"rec.sigmf-meta"},
                 20,
                 "holds 2 samples, fewer than the 3"},
        BadInput{"DataCut",
                 {{"rec.sigmf-meta", meta("ci16_le")}, {"rec.sigmf-data", "\x01\x02\x03"}},
                 {"rec.sigmf-meta"},
                 20,
                 "not a whole number of 4-byte"},
        BadInput{"UnknownType",
                 {{"rec.sigmf-meta", meta("cf64_le")}, {"rec.sigmf-data", twoFrames}},
                 {"rec.sigmf-data"},
                 20,
                 "\"cf64_le\" is not one we read"},
        BadInput{"NotJson",
                 {{"rec.sigmf-meta", "{\"global\": "}, {"rec.sigmf-data", twoFrames}},
                 {"rec.sigmf-meta"},
                 20,
                 "not valid JSON: parse error"},
        BadInput{
            "BadDatetime",
            {{"rec.sigmf-meta",
              R"({"global": {"core:datatype": "ci8", "core:sample_rate": 1},"captures": [{"core:frequency": 1, "core:datetime": "yesterday"}]})"},
             {"rec.sigmf-data", twoFrames}},
            {"rec.sigmf-meta"},
            20,
            "core:datetime \"yesterday\""},
        BadInput{"WavCut", {{"rec.wav", wavCut()}}, {"rec.wav"}, 20, "longer than the file"},
        BadInput{"MetaMissing",
                 {{"rec.sigmf-data", twoFrames}},
                 {"rec.sigmf-data"},
                 2,
                 "read with its .sigmf-meta"},
        BadInput{"StemOfSigmf",
                 {{"rec.sigmf-meta", meta("cf32_le")}, {"rec.sigmf-data", twoFrames}},
                 {"rec"},
                 2,
                 "name rec.sigmf-meta"},
        BadInput{"InputFolder", {{"sub/x", ""}}, {"sub"}, 20, "not a file but a folder"},
        BadInput{"ReadError", {}, {"/proc/self/mem"}, 3, "read error"},
        metaRefused("OtherFrequency", secondCapture(R"("core:frequency": 137600)"), "another core:frequency"),
        metaRefused("OtherTime", secondCapture(R"("core:datetime": "2026-12-07T11:00:00Z")"),
                    "core:datetime that does not follow"),
        metaRefused("LaterHeaderBytes", secondCapture(R"("core:header_bytes": 2)"),
                    "core:header_bytes of its own"),
        metaRefused("IndexBeforeOffset", layoutMeta(R"("core:offset": 5)", "{" + capture(".25")),
                    "lies before core:offset 5"),
        metaRefused("NestedDeep", std::string(40, '[') + std::string(40, ']'), "nested deeper than 32"),
        metaRefused("InvalidUtf8", "{\"global\": \"\xff\"}", "not valid JSON: parse error"),
        metaRefused("NumberOverflow", R"({"global": {"core:sample_rate": 1e400}})", "1e400"),
        metaRefused("RateAsText", R"({"global": {"core:datatype": "ci8", "core:sample_rate": "2000"}})",
                    "core:sample_rate is not a number"),
        metaRefused("ChannelsAsText", R"({"global": {"core:datatype": "ci8", "core:num_channels": "1"}})",
                    "core:num_channels is not a number"),
        BadInput{"HeaderRateZero",
                 {{"rec.wav", wavOf(1, 16, 0, "abcd")}},
                 with({"rec.wav"}, {"--centre", "1", "--start", "2026-12-07 10:00:00"}),
                 20,
                 "give it with --rate"},
        BadInput{"DataBeforeFormat",
                 {{"rec.wav", std::string("RIFF\x28\0\0\0WAVEdata\4\0\0\0abcd", 24) +
                                  wavOf(1, 16, 250, "").substr(12, 24)}},
                 with({"rec.wav"}),
                 20,
                 "comes before its \"fmt \" chunk"},
        BadInput{"NanSample",
                 {{"rec.cf32", floatBytes({{1, 0}, {0, std::numeric_limits<float>::quiet_NaN()}})}},
                 with({"--cf32", "rec.cf32"}),
                 22,
                 "frame 1 holds a sample that is no finite 32-bit float"},
        BadInput{"DoubleBeyondFloat",
                 {{"rec.wav", wavOf(3, 64, 250, doubleBytes({1, 1e300}))}},
                 with({"rec.wav"}),
                 22,
                 "frame 0 holds"},
        BadInput{"OutputIsInput",
                 {{"rec.cf32", twoFrames}},
                 with({"--cf32", "rec.cf32"}),
                 20,
                 "is the input",
                 0,
                 "rec.cf32"},
        BadInput{"OutputIsTheMeta",
                 {{"rec.sigmf-meta", meta("cf32_le")}, {"rec.sigmf-data", twoFrames}},
                 {"rec.sigmf-data"},
                 20,
                 "is the input rec.sigmf-meta",
                 0,
                 "rec.sigmf-meta"},
        BadInput{"OutputIsAFolder",
                 {{"rec.cf32", twoFrames}, {"sub/x", ""}},
                 with({"--cf32", "rec.cf32"}),
                 20,
                 "exists and is not a file",
                 0,
                 "sub"},
        BadInput{"ExportMetaIsAFolder",
                 {{"rec.wav", buildWavHeader(250, 1, 1, 1) + floatBytes({{1, 0}})},
                  {"rec.sigmf-data", "earlier"},
                  {"rec.sigmf-meta/x", ""}},
                 {"--sigmf-out", "rec.wav"},
                 20,
                 "rec.sigmf-meta: exists and is not a file",
                 0,
                 "rec"},
        BadInput{"NotWav", {{"rec.wav", "sr=250"}}, {"rec.wav"}, 20, "not a WAV file"},
        BadInput{"RawCut",
                 {{"rec.cf32", twoFrames + "\x01"}},
                 with({"--cf32", "rec.cf32"}),
                 20,
                 "not a whole number of 8-byte"},
        BadInput{"NoRate",
                 {{"rec.cf32", twoFrames}},
                 {"--cf32", "rec.cf32", "--centre", "1"},
                 20,
                 "give it with --rate"},
        BadInput{"NoCentre",
                 {{"rec.cf32", twoFrames}},
                 {"--cf32", "rec.cf32", "--rate", "1"},
                 20,
                 "give it with --centre"},
        BadInput{"NoStart",
                 {{"rec.cf32", twoFrames}},
                 {"--cf32", "rec.cf32", "--rate", "1", "--centre", "1"},
                 20,
                 "give it with --start"},
        BadInput{"BadStart",
                 {{"rec.cf32", twoFrames}},
                 {"--cf32", "rec.cf32", "--start", "2026-02-29 00:00:00"},
                 20,
                 "--start needs a UTC time"},
        BadInput{"StartBefore1970",
                 {{"rec.cf32", twoFrames}},
                 {"--cf32", "rec.cf32", "--start", "1969-12-31 23:59:59"},
                 20,
                 "--start needs a UTC time"},
        BadInput{"PastEnd",
                 {{"rec.cf32", twoFrames}},
                 with({"--cf32", "rec.cf32", "--to", "1"}),
                 20,
                 "past the end"},
        BadInput{"TooLong",
                 {{"rec.cf32", ""}},
                 with({"--cf32", "rec.cf32"}),
                 21,
                 "cut out the transmission with --from and --to",
                 8 * ((std::uintmax_t(1) << 28) + 1)},
        BadInput{"Unwritable",
                 {{"rec.cf32", twoFrames}},
                 with({"--cf32", "rec.cf32"}),
                 3,
                 "cannot write",
                 0,
                 "missing/out.wav"}),
    [](const auto& info) { return std::string(info.param.name); });

// A tool-set WAV out to SigMF and back in gives the same file, byte for byte:
// the samples, including the largest floats, signed zeros and subnormals, and the
// three values, whether the rate text came from a 32-bit float or a double.
struct RoundTrip {
    const char* name;
    std::string header;  // of 4 frames
};

class SigmfRoundTrip : public Importer, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(SigmfRoundTrip, GivesBackTheSameFile) {
    const std::string wav =
        GetParam().header +
        floatBytes({{1.5f, -0.0f},
                    {std::bit_cast<float>(0x7f7fffffu), std::bit_cast<float>(0x80000001u)},
                    {1e-45f, -3.25e38f},
                    {0.0f, 0.1f}});
    writeFile("rec.wav", wav);
    const auto out = parseImportOptions({"--sigmf-out", "rec.wav", "rec"});
    ASSERT_TRUE(out);
    const auto exported = exportSigmf(*out, nullptr);
    ASSERT_TRUE(exported) << exported.error();
    const auto back = run({"rec.sigmf-meta"});
    ASSERT_TRUE(back) << back.error();
    EXPECT_EQ(testsupport::readFile("out.wav"), wav);
}

INSTANTIATE_TEST_SUITE_P(
    ExportImport, SigmfRoundTrip,
    ::testing::Values(RoundTrip{"Converter", buildWavHeader(1.953125f, 137500, 1447071448.17, 4)},
                      RoundTrip{"HeaderRateZero", buildWavHeader(0.48828125f, 137500.25, 1796644800, 4)},
                      RoundTrip{"ExactRate", buildExactWavHeader(250.0001, 1e6 + 0.5, 1714564800.123457, 4)}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orv::importer
