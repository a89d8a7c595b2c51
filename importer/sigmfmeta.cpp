// parseSigmfMeta: a .sigmf-meta text read for what the importer needs. The
// parser keeps only the members of "global" and folds each capture and
// annotation into a small note as soon as it is read, so a meta of many small
// items costs little more memory than its text.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "importer/options.h"
#include "importer/sigmf.h"

namespace orv::importer {

namespace {

using Json = nlohmann::json;
using Event = Json::parse_event_t;

// A meta nests its objects four deep; a deeply nested text costs many times
// its size in the parser's own stacks.
constexpr std::size_t deepestNesting = 32;
// A WAV holds one piece of one recording; more captures than this are no such thing.
constexpr std::size_t mostCaptures = 65536;

Outcome<SigmfMeta> bad(const std::string& name, const std::string& why) {
    return Failure::stop(name + ": " + why, exitBadInput);
}

std::string decimal(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// A sample index: a whole JSON number from 0 up (SigMF writes them as integers),
// small enough that sums of two and byte offsets stay in 64 bits.
std::optional<std::int64_t> sampleIndex(const Json& value) {
    if (value.is_number_unsigned() && value.get<std::uint64_t>() <= std::uint64_t(1) << 60)
        return static_cast<std::int64_t>(value.get<std::uint64_t>());
    if (value.is_number_integer() && value.get<std::int64_t>() >= 0 &&
        value.get<std::int64_t>() <= std::int64_t(1) << 60)
        return value.get<std::int64_t>();
    return std::nullopt;
}

// The deepest nesting of arrays and objects, strings skipped.
std::size_t nestingDepth(std::string_view text) {
    std::size_t depth = 0, deepest = 0;
    bool inString = false, escaped = false;
    for (const char c : text) {
        if (inString) {
            escaped = !escaped && c == '\\';
            if (!escaped && c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

// The parser's own words, without its "[json.exception.parse_error.101] ".
std::string parserMessage(const char* what) {
    const std::string text = what;
    const auto end = text.find("] ");
    return end == std::string::npos ? text : text.substr(end + 2);
}

// What one capture says, as written (its start before core:offset).
struct CaptureNote {
    std::int64_t start = 0;
    std::int64_t headerBytes = 0;
    std::optional<double> frequency;
    std::optional<std::string> datetime;
};

class MetaReader {
public:
    Json read(std::string_view text) {
        return Json::parse(text.begin(), text.end(), [this](int depth, Event event, Json& parsed) {
            return keep(depth, event, parsed);
        });
    }

    std::vector<CaptureNote> captures;
    std::int64_t firstAnnotated = std::numeric_limits<std::int64_t>::max();
    std::int64_t annotatedEnd = 0;  // both as written, before core:offset
    std::string fault;              // the first thing refused in an item

private:
    bool keep(int depth, Event event, Json& parsed);
    void fail(const std::string& why) {
        if (fault.empty()) fault = why;
    }
    void note(const Json& item);

    std::vector<std::string> keys_{3};  // by level: the key of the member being read
    bool topIsObject_ = false;
    bool itemsInArray_ = false;  // the level-1 member is an array
};

bool MetaReader::keep(int depth, Event event, Json& parsed) {
    const auto level = static_cast<std::size_t>(depth);
    const bool global = keys_[1] == "global";
    const bool items = keys_[1] == "captures" || keys_[1] == "annotations";
    if (event == Event::key) {
        if (level == 1) {
            keys_[1] = parsed.get<std::string>();
            return keys_[1] == "global" || keys_[1] == "captures" || keys_[1] == "annotations";
        }
        if (level == 2) return global;  // the members of a "captures" object are no items
        const std::string& key = parsed.get_ref<const std::string&>();
        return level == 3 && items &&
               (key == "core:sample_start" || key == "core:sample_count" || key == "core:frequency" ||
                key == "core:datetime" || key == "core:header_bytes");
    }
    const bool opens = event == Event::object_start || event == Event::array_start;
    if (level == 0 && opens) topIsObject_ = event == Event::object_start;
    if (level == 1 && opens) itemsInArray_ = event == Event::array_start;
    if (level == 0 || (level == 1 && topIsObject_) || (level == 2 && global)) return true;
    if (level == 2 && items && itemsInArray_) {
        if (event == Event::object_start) return true;
        if (event == Event::object_end) {
            note(parsed);
            return false;  // noted: the object itself is not kept
        }
        fail("a capture or annotation that is no object");
        return false;
    }
    // The value of an item's member as it is, for its type to be checked;
    // nothing deeper, and nothing inside a member of "global".
    return level == 3 && items;
}

void MetaReader::note(const Json& item) {
    const auto start = item.find("core:sample_start");
    const auto first = start == item.end() ? std::optional<std::int64_t>(0) : sampleIndex(*start);
    if (!first) return fail("a sample index that is no whole number from 0 up");
    if (keys_[1] == "annotations") {
        std::optional<std::int64_t> count = 0;
        if (const auto c = item.find("core:sample_count"); c != item.end()) count = sampleIndex(*c);
        if (!count) return fail("a sample index that is no whole number from 0 up");
        firstAnnotated = std::min(firstAnnotated, *first);
        annotatedEnd = std::max(annotatedEnd, *first + *count);
        return;
    }
    if (captures.size() == mostCaptures)
        return fail("more than " + std::to_string(mostCaptures) + " captures");
    CaptureNote n;
    n.start = *first;
    if (const auto f = item.find("core:frequency"); f != item.end()) {
        if (!f->is_number()) return fail("core:frequency is not a number");
        n.frequency = f->get<double>();
    }
    if (const auto d = item.find("core:datetime"); d != item.end()) {
        if (!d->is_string()) return fail("core:datetime is not a text");
        n.datetime = d->get<std::string>();
    }
    if (const auto h = item.find("core:header_bytes"); h != item.end()) {
        const auto bytes = sampleIndex(*h);
        if (!bytes) return fail("core:header_bytes is no whole number from 0 up");
        n.headerBytes = *bytes;
    }
    captures.push_back(std::move(n));
}

}  // namespace

Outcome<SigmfMeta> parseSigmfMeta(std::string_view text, const std::string& name) {
    if (nestingDepth(text) > deepestNesting)
        return bad(name,
                   "nested deeper than " + std::to_string(deepestNesting) + " levels, more than a meta is");
    MetaReader reader;
    Json meta;
    try {
        meta = reader.read(text);
    } catch (const Json::exception& e) {
        return bad(name, "not valid JSON: " + parserMessage(e.what()));
    }
    if (!meta.is_object()) return bad(name, "not a JSON object");
    const auto global = meta.find("global");
    if (global == meta.end() || !global->is_object()) return bad(name, "no \"global\" object");

    SigmfMeta m;
    const auto datatype = global->find("core:datatype");
    if (datatype == global->end() || !datatype->is_string()) return bad(name, "no core:datatype");
    m.typeName = datatype->get<std::string>();
    const auto type = sampleTypeNamed(m.typeName);
    if (!type)
        return bad(name, "datatype \"" + m.typeName + "\" is not one we read (cf32_le, ci16_le, ci8, cu8)");
    m.type = *type;
    if (const auto channels = global->find("core:num_channels"); channels != global->end()) {
        if (!channels->is_number()) return bad(name, "core:num_channels is not a number");
        if (channels->get<double>() != 1)
            return bad(name, "holds " + decimal(channels->get<double>()) +
                                 " channels; we read single-channel recordings");
    }
    if (const auto rate = global->find("core:sample_rate"); rate != global->end()) {
        if (!rate->is_number()) return bad(name, "core:sample_rate is not a number");
        if (!(rate->get<double>() > 0)) return bad(name, "core:sample_rate is not above 0");
        m.rate = rate->get<double>();
    }
    // Indices count from the first sample of a recording split over several
    // files; core:offset is this file's first.
    std::int64_t offset = 0;
    for (const auto& [key, field] :
         {std::pair{"core:offset", &offset}, std::pair{"core:trailing_bytes", &m.trailingBytes}})
        if (const auto value = global->find(key); value != global->end()) {
            const auto whole = sampleIndex(*value);
            if (!whole) return bad(name, std::string(key) + " is no whole number from 0 up");
            *field = *whole;
        }
    if (const auto dataset = global->find("core:dataset"); dataset != global->end()) {
        if (!dataset->is_string() || dataset->get<std::string>().empty() ||
            dataset->get<std::string>().find('/') != std::string::npos)
            return bad(name, "core:dataset is not the name of a file beside the meta");
        m.dataset = dataset->get<std::string>();
    }
    for (const char* list : {"captures", "annotations"})
        if (const auto items = meta.find(list); items != meta.end() && !items->is_array())
            return bad(name, "captures and annotations must be arrays");
    if (!reader.fault.empty()) return bad(name, reader.fault);

    // Every capture and annotation says the data reach at least that far.
    auto& captures = reader.captures;
    const std::int64_t lowest =
        std::min(reader.firstAnnotated,
                 captures.empty() ? reader.firstAnnotated
                                  : std::min_element(captures.begin(), captures.end(), [](auto& a, auto& b) {
                                        return a.start < b.start;
                                    })->start);
    if (lowest < offset)
        return bad(name, "core:sample_start " + std::to_string(lowest) + " lies before core:offset " +
                             std::to_string(offset));
    m.samplesNamed = std::max<std::int64_t>(0, reader.annotatedEnd - offset);
    for (const auto& c : captures) m.samplesNamed = std::max(m.samplesNamed, c.start - offset);

    std::stable_sort(captures.begin(), captures.end(), [](auto& a, auto& b) { return a.start < b.start; });
    if (captures.empty()) return m;
    const CaptureNote& first = captures.front();
    m.firstSample = first.start - offset;
    m.headerBytes = first.headerBytes;
    m.centre = first.frequency;
    m.datetime = first.datetime;
    const auto firstTime = m.datetime ? startTimeOf(*m.datetime) : std::nullopt;
    for (std::size_t i = 1; i < captures.size(); ++i) {
        // A WAV holds one piece: one centre, one start, samples in a row.
        const CaptureNote& c = captures[i];
        const std::string where = "the capture at sample " + std::to_string(c.start - offset);
        if (c.headerBytes != 0)
            return bad(name, where +
                                 " has core:header_bytes of its own: its samples are not in one piece "
                                 "with the others");
        if (c.frequency && c.frequency != m.centre)
            return bad(name, where + " has another core:frequency (" + decimal(*c.frequency) +
                                 " Hz) than the first: cut out one capture with --from and --to");
        if (!c.datetime) continue;
        const auto later = startTimeOf(*c.datetime);
        const double step = m.rate ? static_cast<double>(c.start - first.start) / *m.rate : 0;
        if (!firstTime || !later || !m.rate ||
            std::abs(*later - (*firstTime + step)) > std::max(0.5 / *m.rate, 1e-6))
            return bad(name, where +
                                 " has a core:datetime that does not follow from the first capture's: "
                                 "cut out one capture with --from and --to");
    }
    return m;
}

}  // namespace orv::importer
