// Fuzz target of the archive reader. An input that starts like a compound file is read as a whole
// archive; any other input is split into the two streams, each handed over through a libgsf
// memory input: a 4-byte little-endian length (taken modulo what is left, plus one), that many
// bytes of "pstream", and the rest as "lvItems". A length byte pattern of 0xFFFFFFFF leaves
// "pstream" out, so the reader also meets a missing stream.
#include <gsf/gsf-input-memory.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "archive_file.h"

namespace {

// libgsf warns on stderr about every damaged compound file it meets; the fuzzer meets millions.
void quiet(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}
[[maybe_unused]] const bool kQuiet = (g_log_set_default_handler(quiet, nullptr), true);

struct Unref {
    void operator()(GsfInput* input) const {
        if (input != nullptr) {
            g_object_unref(input);
        }
    }
};
using InputPtr = std::unique_ptr<GsfInput, Unref>;

InputPtr memoryInput(const std::uint8_t* data, std::size_t size) {
    static const std::uint8_t empty = 0;
    return InputPtr(
        gsf_input_memory_new(size == 0 ? &empty : data, static_cast<gsf_off_t>(size), FALSE));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::uint8_t kCompoundMagic[4] = {0xD0, 0xCF, 0x11, 0xE0};
    if (size >= 4 && std::equal(kCompoundMagic, kCompoundMagic + 4, data)) {
        planora::readArchiveBytes(std::span(data, size));
        return 0;
    }
    if (size < 4) {
        return 0;
    }
    const std::uint32_t field = static_cast<std::uint32_t>(data[0]) | (data[1] << 8) |
                                (data[2] << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
    const std::uint8_t* rest = data + 4;
    const std::size_t left = size - 4;
    InputPtr images;
    std::size_t imageBytes = 0;
    if (field != 0xFFFFFFFFu) {
        imageBytes = field % (left + 1);
        images = memoryInput(rest, imageBytes);
    }
    InputPtr items = memoryInput(rest + imageBytes, left - imageBytes);
    planora::readArchiveInputs(images.get(), items.get(), size);
    return 0;
}
