// State shared by the readers of one drawing file while it is loaded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "byte_reader.h"
#include "drawing_file.h"
#include "drawing_model.h"

namespace planora::detail {

// One text record of the text block: a 12-byte text header followed by the string.
struct TextEntry {
    char magic[4] = {0, 0, 0, 0};
    std::int16_t length = 0;
    std::uint8_t flag = 0;
    bool hasBody = false;
    // Header bytes 0..11 (A, B, F1, F2, frame class, frame shape), then the string and a zero.
    std::vector<std::uint8_t> body;
    std::uint8_t trailerByte = 0;
    std::int16_t trailerWord = 0;
    std::int32_t reserved = 0;

    char frameClass() const { return hasBody && body.size() > 10 ? char(body[10]) : '\0'; }
    char frameShape() const { return hasBody && body.size() > 11 ? char(body[11]) : '\0'; }
    // The zero-terminated string from offset 12.
    std::string_view string() const;
};

// Thrown by LoadState::step when the caller cancelled the load.
struct LoadCancelled {};

struct LoadState {
    explicit LoadState(ByteReader& reader) : in(reader) {}

    ByteReader& in;
    int version = 0;
    FormatGeneration generation{};
    std::int64_t elementCount = 0;  // N
    std::int32_t textCount = 0;     // T
    // The text count field as the file holds it: from version 1000 it has 32 bits, of which the
    // count block keeps the low 16; the full value counts where the text records confirm it.
    std::int64_t textCountField = 0;
    std::int64_t elementStart = 0;  // E
    std::int64_t textStart = 0;     // S
    std::int64_t layerStart = 0;    // F
    bool layerStartKnown = false;
    std::optional<std::vector<TextEntry>> textTable;
    // The damage found ("Datei ist defekt: ..."); empty for a sound file.
    std::string damage;
    // Progress and cancel of the caller; none for a plain load.
    const LoadHooks* hooks = nullptr;
    int reportedPercent = -1;

    // Reports `done` of `total` steps when the percentage changed, and ends the load with
    // LoadCancelled once the caller asked for it.
    void step(std::int64_t done, std::int64_t total) {
        if (hooks == nullptr) {
            return;
        }
        if (hooks->cancel != nullptr && hooks->cancel->load(std::memory_order_relaxed)) {
            throw LoadCancelled{};
        }
        const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
        if (percent != reportedPercent && hooks->progress) {
            reportedPercent = percent;
            hooks->progress(percent);
        }
    }
};

constexpr char kElementMagic[4] = {'K', 'V', 'N', 'A'};
constexpr char kTextMagic[4] = {'K', 'V', 'N', 'T'};
constexpr char kLayerMagic[4] = {'K', 'V', 'N', 'F'};

// The record type of a data box, whose record is followed by an inline block.
inline constexpr std::uint32_t kDataBoxType = 64;

inline bool hasMagic(const std::uint8_t* bytes, const char (&magic)[4]) {
    return bytes[0] == std::uint8_t(magic[0]) && bytes[1] == std::uint8_t(magic[1]) &&
           bytes[2] == std::uint8_t(magic[2]) && bytes[3] == std::uint8_t(magic[3]);
}

// Reads the length field of a text record head.
std::int32_t textHeadLength(const std::uint8_t* head, const FormatGeneration& generation);

void buildTextTable(LoadState& state);
std::size_t readLayerBlock(LoadState& state, LayerList& layers);
void readElementBlock(LoadState& state, DrawingModel& model);
// Reads the inline block that follows a type 64 record and drops it.
void skipInlineBlock(ByteReader& in);

}  // namespace planora::detail
