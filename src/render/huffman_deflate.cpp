#include "huffman_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <queue>
#include <vector>

namespace planora {

namespace {

constexpr std::size_t kLiterals = 257;  // the bytes and the end of the block
constexpr unsigned kEndOfBlock = 256;
// The order in which a dynamic block lists the lengths of the code-length code.
constexpr std::array<std::uint8_t, 19> kLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                       11, 4,  12, 3, 13, 2, 14, 1, 15};

// Canonical codes for `lengths`, bit-reversed because deflate sends codes from their top bit
// into a stream filled from the bottom.
template <std::size_t N>
std::array<std::uint16_t, N> canonicalCodes(const std::array<std::uint8_t, N>& lengths) {
    std::array<unsigned, 17> perLength{};
    for (std::uint8_t l : lengths) {
        ++perLength[l];
    }
    perLength[0] = 0;
    std::array<unsigned, 17> next{};
    unsigned code = 0;
    for (unsigned bits = 1; bits <= 16; ++bits) {
        code = (code + perLength[bits - 1]) << 1;
        next[bits] = code;
    }
    std::array<std::uint16_t, N> codes{};
    for (std::size_t s = 0; s < N; ++s) {
        const unsigned l = lengths[s];
        if (l == 0) {
            continue;
        }
        unsigned c = next[l]++, reversed = 0;
        for (unsigned i = 0; i < l; ++i) {
            reversed = (reversed << 1) | (c & 1);
            c >>= 1;
        }
        codes[s] = static_cast<std::uint16_t>(reversed);
    }
    return codes;
}

}  // namespace

void huffmanLengths(const std::uint32_t* counts, std::size_t symbols, unsigned limit,
                    std::uint8_t* lengths) {
    std::vector<std::uint64_t> weight(counts, counts + symbols);
    std::fill(lengths, lengths + symbols, 0);
    std::vector<std::size_t> used;
    for (std::size_t s = 0; s < symbols; ++s) {
        if (weight[s] > 0) {
            used.push_back(s);
        }
    }
    if (used.empty()) {
        return;
    }
    if (used.size() == 1) {
        lengths[used[0]] = 1;
        return;
    }
    for (;;) {
        // Huffman's merging of the two lightest; parent links give every leaf its depth.
        using Node = std::pair<std::uint64_t, std::size_t>;
        std::priority_queue<Node, std::vector<Node>, std::greater<>> queue;
        std::vector<std::size_t> parent(used.size() * 2, 0);
        for (std::size_t i = 0; i < used.size(); ++i) {
            queue.push({weight[used[i]], i});
        }
        std::size_t next = used.size();
        while (queue.size() > 1) {
            const Node a = queue.top();
            queue.pop();
            const Node b = queue.top();
            queue.pop();
            parent[a.second] = next;
            parent[b.second] = next;
            queue.push({a.first + b.first, next++});
        }
        const std::size_t root = next - 1;
        std::vector<unsigned> depth(next, 0);
        for (std::size_t n = root; n-- > 0;) {
            depth[n] = depth[parent[n]] + 1;  // parents are numbered above their children
        }
        unsigned deepest = 0;
        for (std::size_t i = 0; i < used.size(); ++i) {
            deepest = std::max(deepest, depth[i]);
        }
        if (deepest <= limit) {
            for (std::size_t i = 0; i < used.size(); ++i) {
                lengths[used[i]] = static_cast<std::uint8_t>(depth[i]);
            }
            return;
        }
        // Too deep: flatten the counts and build again (a few rounds at most).
        for (std::size_t s : used) {
            weight[s] = (weight[s] + 1) / 2;
        }
    }
}

HuffmanDeflater::HuffmanDeflater(std::string& out) : out_(out), adler_(adler32(0L, Z_NULL, 0)) {
    out_ += '\x78';  // deflate with a 32 KB window
    out_ += '\x01';  // fastest, no preset dictionary; 0x7801 is a multiple of 31
}

void HuffmanDeflater::spill() {
    const auto low = static_cast<std::uint32_t>(bits_);
    dst_[0] = static_cast<char>(low & 0xFF);
    dst_[1] = static_cast<char>((low >> 8) & 0xFF);
    dst_[2] = static_cast<char>((low >> 16) & 0xFF);
    dst_[3] = static_cast<char>(low >> 24);
    dst_ += 4;
    bits_ >>= 32;
    count_ -= 32;
}

void HuffmanDeflater::spillAll() {
    while (count_ >= 8) {
        *dst_++ = static_cast<char>(bits_ & 0xFF);
        bits_ >>= 8;
        count_ -= 8;
    }
}

void HuffmanDeflater::block(std::string_view data) {
    if (data.empty()) {
        return;
    }
    adler_ = static_cast<std::uint32_t>(adler32(adler_, reinterpret_cast<const Bytef*>(data.data()),
                                                static_cast<uInt>(data.size())));
    std::array<std::uint32_t, kLiterals> counts{};
    for (unsigned char c : data) {
        ++counts[c];
    }
    counts[kEndOfBlock] = 1;
    std::array<std::uint8_t, kLiterals> lengths{};
    huffmanLengths(counts.data(), kLiterals, 15, lengths.data());
    const auto codes = canonicalCodes(lengths);

    // The code of the code lengths: the literal lengths and one distance length of 0 (no
    // distance codes: the block holds literals only), each sent as itself.
    std::array<std::uint32_t, 19> lengthCounts{};
    for (std::uint8_t l : lengths) {
        ++lengthCounts[l];
    }
    ++lengthCounts[0];
    std::array<std::uint8_t, 19> lengthLengths{};
    huffmanLengths(lengthCounts.data(), 19, 7, lengthLengths.data());
    const auto single = std::find_if(lengthLengths.begin(), lengthLengths.end(),
                                     [](std::uint8_t l) { return l > 0; });
    if (std::count_if(lengthLengths.begin(), lengthLengths.end(),
                      [](std::uint8_t l) { return l > 0; }) < 2) {
        // A one-symbol code is incomplete; give it a partner so that every inflater takes it.
        const auto used = static_cast<std::size_t>(single - lengthLengths.begin());
        lengthLengths = {};
        lengthLengths[used] = 1;
        lengthLengths[used == 0 ? 1 : 0] = 1;
    }
    const auto lengthCodes = canonicalCodes(lengthLengths);
    std::size_t sent = 19;
    while (sent > 4 && lengthLengths[kLengthOrder[sent - 1]] == 0) {
        --sent;
    }

    // Room for the worst case: 15 bits a byte, and the header.
    const std::size_t start = out_.size();
    out_.resize(start + data.size() * 2 + 512);
    dst_ = out_.data() + start;
    put(0, 1);  // not the last block
    put(2, 2);  // dynamic codes
    put(0, 5);  // 257 literal/length codes
    put(0, 5);  // 1 distance code
    put(static_cast<std::uint32_t>(sent - 4), 4);
    for (std::size_t i = 0; i < sent; ++i) {
        put(lengthLengths[kLengthOrder[i]], 3);
    }
    for (std::uint8_t l : lengths) {
        put(lengthCodes[l], lengthLengths[l]);
    }
    put(lengthCodes[0], lengthLengths[0]);  // the distance code's length
    for (unsigned char c : data) {
        put(codes[c], lengths[c]);
    }
    put(codes[kEndOfBlock], lengths[kEndOfBlock]);
    spillAll();  // fewer than 8 bits stay for the next block
    out_.resize(static_cast<std::size_t>(dst_ - out_.data()));
    dst_ = nullptr;
}

void HuffmanDeflater::finish() {
    const std::size_t start = out_.size();
    out_.resize(start + 16);
    dst_ = out_.data() + start;
    put(1, 1);  // the last block
    put(1, 2);  // fixed codes
    put(0, 7);  // end of block
    spillAll();
    if (count_ > 0) {
        *dst_++ = static_cast<char>(bits_ & 0xFF);
        bits_ = 0;
        count_ = 0;
    }
    out_.resize(static_cast<std::size_t>(dst_ - out_.data()));
    dst_ = nullptr;
    for (int shift = 24; shift >= 0; shift -= 8) {
        out_ += static_cast<char>((adler_ >> shift) & 0xFF);
    }
}

}  // namespace planora
