// The PDF content coder against zlib's inflater: whatever the bytes, the stream inflates back to
// exactly them, and the codes stay within deflate's 15 bits even for the most skewed counts.
#include "huffman_deflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

namespace planora {
namespace {

std::string inflated(const std::string& packed, std::size_t expected, int* status) {
    std::string out(expected + 16, '\0');
    uLongf size = static_cast<uLongf>(out.size());
    *status = uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                         reinterpret_cast<const Bytef*>(packed.data()),
                         static_cast<uLong>(packed.size()));
    out.resize(size);
    return out;
}

std::string coded(const std::vector<std::string>& blocks) {
    std::string packed;
    HuffmanDeflater deflater(packed);
    for (const std::string& b : blocks) {
        deflater.block(b);
    }
    deflater.finish();
    return packed;
}

// Counts in a Fibonacci series make a plain Huffman tree as deep as there are symbols.
std::string fibonacciText() {
    std::string text;
    std::uint64_t a = 1, b = 1;
    for (int symbol = 0; symbol < 30; ++symbol) {
        text.append(static_cast<std::size_t>(a), static_cast<char>('A' + symbol));
        const std::uint64_t c = a + b;
        a = b;
        b = c;
    }
    return text;
}

TEST(HuffmanDeflate, EveryKindOfBlockInflatesBackExactly) {
    std::mt19937 rng(7);
    std::string random(300000, '\0');
    for (char& c : random) {
        c = static_cast<char>(rng());
    }
    std::string digits;
    std::uniform_real_distribution<double> coordinate(0, 10000);
    while (digits.size() < 700000) {
        digits += std::to_string(coordinate(rng)) + " " + std::to_string(coordinate(rng)) + " l\n";
    }
    std::string everyByte;
    for (int i = 0; i < 256; ++i) {
        everyByte += static_cast<char>(i);
    }
    const std::vector<std::vector<std::string>> cases = {
        {},                                                          // nothing at all
        {"x"},                                                       // one byte
        {std::string(100000, '7')},                                  // one symbol only
        {everyByte},                                                 // every byte once
        {random},                                                    // no pattern
        {fibonacciText()},                                           // codes that need limiting
        {digits.substr(0, 262144), "", digits.substr(262144), "q"},  // blocks in a row
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        std::string whole;
        for (const std::string& b : cases[i]) {
            whole += b;
        }
        const std::string packed = coded(cases[i]);
        int status = Z_DATA_ERROR;
        const std::string back = inflated(packed, whole.size(), &status);
        EXPECT_EQ(status, Z_OK) << "case " << i;
        EXPECT_TRUE(back == whole)
            << "case " << i << ": " << back.size() << " bytes back of " << whole.size();
    }
    // Digits pack to well under the text's size.
    EXPECT_LT(coded({digits}).size(), digits.size() * 6 / 10);
}

TEST(HuffmanDeflate, SkewedCountsGiveCompleteCodesWithinTheLimit) {
    std::vector<std::uint32_t> counts;
    std::uint32_t a = 1, b = 1;
    for (int i = 0; i < 40; ++i) {
        counts.push_back(a);
        const std::uint32_t c = a + b;
        a = b;
        b = c;
    }
    counts.push_back(0);  // unused
    for (unsigned limit : {7u, 15u}) {
        std::vector<std::uint8_t> lengths(counts.size());
        huffmanLengths(counts.data(), counts.size(), limit, lengths.data());
        double kraft = 0;
        for (std::size_t s = 0; s < counts.size(); ++s) {
            if (counts[s] == 0) {
                EXPECT_EQ(lengths[s], 0) << "symbol " << s;
                continue;
            }
            ASSERT_GE(lengths[s], 1) << "symbol " << s;
            ASSERT_LE(lengths[s], limit) << "symbol " << s;
            kraft += 1.0 / static_cast<double>(1u << lengths[s]);
        }
        EXPECT_DOUBLE_EQ(kraft, 1.0) << "limit " << limit;
    }
}

}  // namespace
}  // namespace planora
