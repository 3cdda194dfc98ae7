// zero_png.h - the bytes of a black PNG of any declared size, made without a pixel buffer: a
// 1-bit greyscale image whose rows are all zeros, compressed as one run. 8192 x 8192 takes about
// 52 KB on disk and 256 MiB once decoded, the shape of an image bomb.
//
// Deflate (RFC 1951) with the fixed Huffman codes: one literal zero, then back-references of 258
// bytes at distance 1 (13 bits each), then the remainder as literals.
#ifndef PITWALL_TESTS_ZERO_PNG_H
#define PITWALL_TESTS_ZERO_PNG_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace pitwall::testing {

namespace zero_png_detail {

class bit_writer {
public:
    // Deflate packs bits from the least significant end; Huffman codes go most significant bit first.
    void bits(uint32_t value, int count) {
        for (int i = 0; i < count; ++i) push((value >> i) & 1u);
    }
    void code(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) push((value >> i) & 1u);
    }
    std::string finish() {
        if (used_ > 0) out_ += char(current_);
        return out_;
    }

private:
    void push(uint32_t bit) {
        current_ |= uint8_t(bit << used_);
        if (++used_ == 8) {
            out_ += char(current_);
            current_ = 0;
            used_ = 0;
        }
    }
    std::string out_;
    uint8_t current_ = 0;
    int used_ = 0;
};

inline void put32(std::string &out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += char((v >> shift) & 0xFF);
}

inline uint32_t crc32(const std::string &bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

inline void chunk(std::string &png, const char *type, const std::string &data) {
    put32(png, uint32_t(data.size()));
    const std::string typed = std::string(type, 4) + data;
    png += typed;
    put32(png, crc32(typed));
}

// zlib stream of `count` zero bytes.
inline std::string zlib_zeros(uint64_t count) {
    bit_writer w;
    w.bits(1, 1); // the last block
    w.bits(1, 2); // fixed Huffman codes
    uint64_t left = count;
    auto literal_zero = [&] { w.code(0x30, 8); };
    if (left > 0) {
        literal_zero();
        --left;
    }
    for (; left >= 258; left -= 258) {
        w.code(0xC5, 8); // length symbol 285: 258 bytes
        w.code(0, 5);    // distance symbol 0: 1 byte back
    }
    for (; left > 0; --left) literal_zero();
    w.code(0, 7); // end of block
    std::string z = "\x78\x01";
    z += w.finish();
    // Adler-32 of zeros: the first sum stays 1, the second adds it once per byte.
    put32(z, uint32_t(count % 65521u) << 16 | 1u);
    return z;
}

} // namespace zero_png_detail

inline std::string zero_png(uint32_t width, uint32_t height) {
    using namespace zero_png_detail;
    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    put32(header, width);
    put32(header, height);
    header += std::string("\x01\x00\x00\x00\x00", 5); // 1 bit, greyscale, deflate, no filter, no interlace
    chunk(png, "IHDR", header);
    const uint64_t row_bytes = 1 + (uint64_t(width) + 7) / 8; // filter byte, then the packed pixels
    chunk(png, "IDAT", zlib_zeros(row_bytes * height));
    chunk(png, "IEND", "");
    return png;
}

} // namespace pitwall::testing

#endif // PITWALL_TESTS_ZERO_PNG_H
