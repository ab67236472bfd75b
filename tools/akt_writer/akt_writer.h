// Writer for ".akt" drawing files of every format generation, for tests, benchmarks and the
// example drawings. Not part of the viewer; uses the C++ standard library only.
//
// A file is: header (magic, version, header numbers, 20 drawing information texts, element
// count, count block), element block, text block, layer block and 4 final bytes. The layout of
// each part follows the version number:
//
//   version      record  layer/pen code   header numbers  info length  element count  count block
//   500, 510     36      layer*10+pen     float32         uint16       int16          20 bytes
//   550 .. 700   36      layer*10+pen     float32         uint16       int32          20 bytes
//   1000, 1100   64      layer*10+pen     float64         int32        int32          36 bytes
//   1200..2100   64      layer*100+pen    float64         int32        int32          36 bytes
//   2200..2500   68      layer*100+pen    float64         int32        int32          36 bytes
//
// From 1200 on a type 64 record (data box) is followed by an inline block that the record size
// does not count.
//
// Texts are written as the bytes given (Windows-1252). The readers cut a text at the byte 0x04
// from version 1700 on (and show 0x11 as 0xF8, the "ø") and at 0xFF before 1700; the writer adds
// no terminator, callers append one when they want it.
//
// Any version number from 0 to 9999 can be written (the layout is taken from the range it falls
// in), so that files with versions the viewer rejects can be made as well. Values that do not
// fit their field in the version's layout are refused with std::out_of_range rather than being
// cut silently; files with deliberately wrong counts are made with the count overrides.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace planora::akt {

// Type codes that the convenience functions write by default. The readers know more codes per
// generation (lines 10-19, 50, 51, 55, 58; texts 40-49, 70, 71; ...); any code can be given.
namespace type {
inline constexpr std::uint32_t kLine = 10;
inline constexpr std::uint32_t kCircle = 20;
inline constexpr std::uint32_t kArcHead = 30;
inline constexpr std::uint32_t kArcEnd = 130;
inline constexpr std::uint32_t kText = 40;
inline constexpr std::uint32_t kDataBox = 64;
inline constexpr std::uint32_t kOutlinePoint = 92;
inline constexpr std::uint32_t kOutlineBegin = 118;
inline constexpr std::uint32_t kOutlineEnd = 119;
}  // namespace type

// The layout facts of the generation a version number falls in.
struct Layout {
    int recordSize;           // 36, 64 or 68
    int layerDivisor;         // 10 or 100
    bool wide;                // float64 header numbers, int32 lengths, 36-byte count block
    bool wideElementCount;    // int32 element count (int16 for 500 and 510)
    int countBlockSize;       // 20 or 36
    bool inlineAfterDataBox;  // type 64 records carry an inline block (from 1200)
    int textHeadSize;         // 7 or 9: magic, length field, flag
    int textTrailerSize;      // 3 or 5
    int layerLengthSize;      // 2 or 4
    int layerNumberEnd;       // k: the layer number stands at k-2..k, the name from k+1
};
Layout layoutFor(int version);

// Layer and pen code of a record: layer*10+pen before 1200, layer*100+pen from 1200. Throws
// std::out_of_range for a negative layer or a pen that does not fit below the divisor.
std::int32_t layerPenCode(int version, int layer, int pen);

// One element record. a..d are the record's four numbers (float32 in 36-byte records, float64
// otherwise), style its style field (line style code, or the size code of a text), extra its
// extra field (ten times the scale denominator, or a text angle in tenths of a degree).
struct ElementRecord {
    std::uint32_t type = type::kLine;
    double a = 0, b = 0, c = 0, d = 0;
    std::int32_t style = 0;
    std::int32_t layerPenCode = 0;
    std::int32_t extra = 0;
    // Type 64 from version 1200 on: written after the record as int32 n, the n bytes, then
    // int32 inlineTrailer. Ignored for other types and older versions, which have no inline block.
    std::vector<std::uint8_t> inlineData;
    std::int32_t inlineTrailer = 0;
};

// One text record of the text block.
struct TextRecord {
    std::string text;  // Windows-1252 bytes, written as given
    char frameClass = '0';
    char frameShape = '0';
    std::uint8_t attrA = 1;
    std::uint8_t attrB = '-';
    double f1 = 1.0, f2 = 0.0;  // float32 for 600..700, float64 from 1000; not stored before 600
    std::uint8_t flag = 0;
    std::uint8_t trailerByte = 0;
    std::int16_t trailerWord = 0;
    // When set, written as the record's text data instead of the fields above (the length field
    // becomes its size + 2), for records the structured form cannot express.
    std::optional<std::string> rawData;
};

// One layer record. The layer text is: "-" when off (a blank when on), from 1700 one unused
// blank, the number right-aligned in three characters, the name.
struct LayerRecord {
    int number = 0;    // 0..999
    std::string name;  // Windows-1252 bytes
    bool visible = true;
    // When set, written as the layer text instead of the fields above (for records of odd
    // lengths such as 0, 1 or more than 255 bytes).
    std::optional<std::string> rawText;
};

// Everything in a file before the element block.
struct FileHeader {
    int version = 2500;
    std::array<double, 20> headerValues{};
    std::array<std::string, 20> info;  // drawing information texts, Windows-1252
    // Fields 1..7 of the count block (field 0 is the text count); the readers ignore them.
    std::array<std::int32_t, 7> countFields{};
    std::int32_t countBlockLast = 0;
    std::array<std::uint8_t, 4> finalBytes{};  // the 4 bytes after the layer block
};

struct Drawing : FileHeader {
    std::vector<ElementRecord> elements;
    std::vector<TextRecord> texts;
    std::vector<LayerRecord> layers;
    // Written instead of the real counts, to make files whose header disagrees with its blocks.
    // The value is stored in the field's width (int16 or int32) with its low bits.
    std::optional<std::int64_t> elementCountOverride;
    std::optional<std::int64_t> textCountOverride;
};

// The whole file in memory.
std::vector<std::uint8_t> writeDrawing(const Drawing& drawing);
// Writes the file; false when it cannot be created or written (values out of range throw).
bool writeDrawingFile(const Drawing& drawing, const std::string& path);
// Writes the file to a stream; returns the stream's state after writing.
bool writeDrawingTo(std::ostream& out, const Drawing& drawing);

// Record-by-record writing for files too big to hold as a Drawing. The element and text counts
// are declared up front, because the header precedes the blocks; records are then passed in
// file order (all elements, then all texts, then the layers) and finish() writes the final
// bytes. finish() throws std::logic_error when the number of records passed differs from the
// declared counts, unless the writer was made with CountCheck::None. Out-of-order calls throw
// std::logic_error as well.
class StreamWriter {
  public:
    enum class CountCheck { Strict, None };

    StreamWriter(std::ostream& out, const FileHeader& header, std::int64_t elementCount,
                 std::int64_t textCount, CountCheck check = CountCheck::Strict);
    StreamWriter(const StreamWriter&) = delete;
    StreamWriter& operator=(const StreamWriter&) = delete;

    void element(const ElementRecord& record);
    void text(const TextRecord& record);
    void layer(const LayerRecord& record);
    // Writes the final bytes and flushes. Returns the stream's state.
    bool finish();

    std::int64_t elementsWritten() const { return elementsWritten_; }
    std::int64_t textsWritten() const { return textsWritten_; }

  private:
    enum class Stage { Elements, Texts, Layers, Done };
    void advanceTo(Stage stage);
    void flushIfLarge();

    std::ostream& out_;
    int version_;
    Layout layout_;
    std::array<std::uint8_t, 4> finalBytes_;
    std::int64_t elementCount_;
    std::int64_t textCount_;
    CountCheck check_;
    Stage stage_ = Stage::Elements;
    std::int64_t elementsWritten_ = 0;
    std::int64_t textsWritten_ = 0;
    std::vector<std::uint8_t> buffer_;
};

// The encoded bytes of single parts, as they appear in a file of the given version.
std::vector<std::uint8_t> encodeHeader(const FileHeader& header, std::int64_t elementCount,
                                       std::int64_t textCount);
std::vector<std::uint8_t> encodeElement(int version, const ElementRecord& record);
std::vector<std::uint8_t> encodeText(int version, const TextRecord& record);
std::vector<std::uint8_t> encodeLayer(int version, const LayerRecord& record);
// The layer text of a record (without magic and length field).
std::string layerText(int version, const LayerRecord& record);

// UTF-8 to Windows-1252, for writing source texts such as "Küche". Throws std::invalid_argument
// for malformed UTF-8 and for characters that Windows-1252 cannot represent.
std::string cp1252(std::string_view utf8);

// ---- Convenience: records built from drawing terms ----

// Where a graphic record goes and how it is drawn.
struct Attributes {
    int layer = 0;
    int pen = 1;
    std::int32_t style = 1;    // line style code
    std::int32_t scale = 100;  // scale denominator; the record stores it times ten
};

// Placement of a text.
struct TextPlacement {
    int layer = 0;
    int pen = 1;
    std::int32_t sizeCode = 3;  // letter height code (3 = 0.25 drawing units)
    double angle = 0.0;         // degrees; stored in tenths of a degree, rounded
    char frameClass = '0';
    char frameShape = '0';
    std::uint32_t type = type::kText;
};

ElementRecord lineRecord(int version, double x1, double y1, double x2, double y2,
                         const Attributes& at, std::uint32_t type = type::kLine);
ElementRecord circleRecord(int version, double cx, double cy, double r, const Attributes& at,
                           std::uint32_t type = type::kCircle);
// Arc head (centre, radius) and arc end (start and end angle, counter-clockwise, in degrees).
std::pair<ElementRecord, ElementRecord> arcRecords(int version, double cx, double cy, double r,
                                                   double start, double end, const Attributes& at,
                                                   std::uint32_t headType = type::kArcHead);
// The element record of a text; textNumber is the 1-based number of its text record.
ElementRecord textElementRecord(int version, double x, double y, std::int64_t textNumber,
                                const TextPlacement& placement);
TextRecord textRecord(std::string text, const TextPlacement& placement);
// Outline begin, one point record per point, outline end.
std::vector<ElementRecord> outlineRecords(int version,
                                          const std::vector<std::pair<double, double>>& points,
                                          const Attributes& at);
ElementRecord dataBoxRecord(int version, double x1, double y1, double x2, double y2,
                            const Attributes& at, std::vector<std::uint8_t> inlineData);

// The same, appended to a Drawing (using its version).
void addLine(Drawing& d, double x1, double y1, double x2, double y2, const Attributes& at);
void addCircle(Drawing& d, double cx, double cy, double r, const Attributes& at);
void addArc(Drawing& d, double cx, double cy, double r, double start, double end,
            const Attributes& at);
// Appends the text record and its element record; returns the text's 1-based number.
std::int64_t addText(Drawing& d, double x, double y, std::string text,
                     const TextPlacement& placement);
void addOutline(Drawing& d, const std::vector<std::pair<double, double>>& points,
                const Attributes& at);
void addDataBox(Drawing& d, double x1, double y1, double x2, double y2, const Attributes& at,
                std::vector<std::uint8_t> inlineData);
void addLayer(Drawing& d, int number, std::string name, bool visible = true);

}  // namespace planora::akt
