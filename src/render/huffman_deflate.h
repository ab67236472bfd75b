// A zlib stream of Huffman-coded literals only, for text that is mostly digits (PDF content).
// Each block gets its own code from its byte counts, and the bytes are coded with a table lookup,
// several times faster than zlib's own Huffman-only mode; any inflater reads the result.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace planora {

class HuffmanDeflater {
  public:
    // Appends the zlib header to `out`.
    explicit HuffmanDeflater(std::string& out);

    // Appends one block coding `data` (not the last block of the stream).
    void block(std::string_view data);
    // Ends the stream: a last, empty block and the checksum.
    void finish();

  private:
    void put(std::uint32_t bits, unsigned count) {
        bits_ |= static_cast<std::uint64_t>(bits) << count_;
        count_ += count;
        if (count_ >= 32) {
            spill();
        }
    }
    // Moves whole bytes from the bit buffer to the output.
    void spill();
    void spillAll();

    std::string& out_;
    char* dst_ = nullptr;  // where the next byte goes, inside the room made in out_
    std::uint64_t bits_ = 0;
    unsigned count_ = 0;
    std::uint32_t adler_;
};

// Code lengths of at most `limit` bits for the symbols counted in `counts` (0 for unused ones),
// forming a complete prefix code whenever two or more symbols are used.
void huffmanLengths(const std::uint32_t* counts, std::size_t symbols, unsigned limit,
                    std::uint8_t* lengths);

}  // namespace planora
