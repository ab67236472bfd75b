// Archive files (".ad"): a document list stored as a compound file with the streams "pstream"
// (the thumbnails as an image-list stream) and "lvItems" (one record per list item).
//
// Plain data and byte layouts only: no widgets, no Qt. Thumbnails travel as 32-bit pixel arrays;
// the document list turns them into images.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

typedef struct _GsfInput GsfInput;

namespace planora {

// One document list item's texts: slot 0 the label, slot 1 the full path (both in the platform's
// file-name encoding), texts 2 to 21 the 20 drawing information texts (Windows-1252 bytes, as the
// drawing file holds them). An absent slot and a present empty text are different things.
struct DocumentEntry {
    static constexpr std::size_t kSlots = 22;
    static constexpr std::size_t kLabel = 0;
    static constexpr std::size_t kPath = 1;
    static constexpr std::size_t kFirstInfo = 2;

    std::array<std::optional<std::string>, kSlots> texts;

    const std::string& label() const;
    const std::string& path() const;

    bool operator==(const DocumentEntry&) const = default;
};

// A list item as an archive stores it: the entry and the index of its thumbnail.
struct ArchiveItem {
    DocumentEntry entry;
    std::int32_t imageIndex = 0;

    bool operator==(const ArchiveItem&) const = default;
};

// One thumbnail: width x height pixels, rows from the top, each pixel 0xAARRGGBB.
struct RawImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    bool operator==(const RawImage&) const = default;
};

// The thumbnails of a list, all of the size cx x cy.
struct ImageListData {
    int cx = 0;
    int cy = 0;
    std::vector<RawImage> images;
};

// --- "lvItems" ---------------------------------------------------------------------------------

constexpr std::size_t kItemHeaderSize = 128;

// The records of the items in list order, back to back.
std::vector<std::uint8_t> encodeItems(std::span<const ArchiveItem> items);

struct DecodedItems {
    // In list order: every record is inserted at the position its thumbnail index names (or
    // appended when that lies beyond the end), as the list does when it loads an archive.
    std::vector<ArchiveItem> items;
    // Records that could not be read (negative or inconsistent lengths) and were left out.
    std::size_t skipped = 0;
    // The stream ended inside a record; what came before was kept.
    bool truncated = false;
};
DecodedItems decodeItems(std::span<const std::uint8_t> bytes);

// --- "pstream" ---------------------------------------------------------------------------------

constexpr std::size_t kImageListHeaderSize = 28;

// The image-list stream of the thumbnails, 24-bit colour without a mask. Fails (nullopt) for
// sizes the 16-bit fields cannot hold or images of another size than cx x cy.
std::optional<std::vector<std::uint8_t>> encodeImageList(const ImageListData& list);

// Reads an image-list stream of 1-, 4-, 8-, 24- or 32-bit colour, with or without a mask (a
// masked pixel becomes fully transparent). On failure returns nullopt and says why in `why`.
// Never allocates more than the stream's own size can justify.
std::optional<ImageListData> decodeImageList(std::span<const std::uint8_t> bytes,
                                             std::string* why = nullptr);

// --- The compound file ------------------------------------------------------------------------

inline constexpr char kArchiveLoadNotCompound[] = "Dateiformat zum Einlesen nicht geeignet!";
inline constexpr char kArchiveLoadNoImages[] = "Dateiinhalt zum Einlesen nicht geeignet (Bilder)!";
inline constexpr char kArchiveLoadBadImages[] = "Laden fehl!";
inline constexpr char kArchiveLoadNoItems[] = "Dateiinhalt zum Einlesen nicht geeignet (Items)!";
inline constexpr char kArchiveSaveFailed[] = "Speichern fehl!";

enum class ArchiveLoadStatus {
    Ok,
    NotCompound,  // not a compound file, or it cannot be read
    NoImages,     // no "pstream"
    BadImages,    // "pstream" is not a readable image list
    NoItems,      // no "lvItems": the thumbnails were read, no items
};

struct ArchiveContents {
    ArchiveLoadStatus status = ArchiveLoadStatus::Ok;
    // The message to show for a failed load (one of the texts above), empty when it loaded.
    std::string message;
    // Details of what was wrong, for the command line and logs.
    std::string detail;
    ImageListData thumbnails;
    DecodedItems items;
    // Items whose thumbnail index names no thumbnail of the archive: kept, shown without one.
    std::size_t itemsWithoutThumbnail = 0;
};

// Reads an archive from the bytes of a whole compound file.
ArchiveContents readArchiveBytes(std::span<const std::uint8_t> file);
// Reads the two streams given separately (either may be missing).
ArchiveContents readArchiveStreams(const std::vector<std::uint8_t>* pstream,
                                   const std::vector<std::uint8_t>* lvItems);
// Reads the two streams from libgsf inputs (either may be null for a missing stream). A stream
// larger than `limit` bytes counts as unreadable.
ArchiveContents readArchiveInputs(GsfInput* pstream, GsfInput* lvItems, std::size_t limit);
// Reads the archive file at `path` (a regular file only).
ArchiveContents readArchiveFile(const std::string& path);

// The bytes of a compound file with "pstream" (when `pstream` is given) and "lvItems"; nullopt
// when the container could not be built.
std::optional<std::vector<std::uint8_t>> buildArchiveBytes(
    const std::vector<std::uint8_t>* pstream, const std::vector<std::uint8_t>& lvItems);

// Writes an archive to `path`: the file is written under a temporary name in the same folder
// and renamed over `path` only when it is complete, so a failure leaves an earlier archive as it
// was. Returns an empty text on success, else the reason (German).
std::string writeArchiveFile(const std::string& path, const ImageListData* thumbnails,
                             std::span<const ArchiveItem> items);

// Writes `bytes` to `path` through a temporary file in the same folder and a rename. Returns an
// empty text on success, else the reason (German).
std::string writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace planora
