// Bounds-checked little-endian access to bytes that came from the file. Every read of a page,
// offset or length goes through a Bytes view; a read outside the view is a corruption error
// naming the page the view belongs to. Writers use the put* helpers on buffers they own.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "jet/error.h"

namespace jet {

class Bytes {
  public:
    Bytes() = default;
    Bytes(const uint8_t* data, size_t size, int64_t page = Error::kNoPage)
        : data_(data), size_(size), page_(page) {}
    explicit Bytes(std::span<const uint8_t> s, int64_t page = Error::kNoPage)
        : data_(s.data()), size_(s.size()), page_(page) {}

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const uint8_t* data() const { return data_; }
    int64_t page() const { return page_; }

    // True when [off, off + len) lies inside the view (overflow-safe).
    bool fits(size_t off, size_t len) const { return off <= size_ && len <= size_ - off; }

    void need(size_t off, size_t len, const char* what) const {
        if (!fits(off, len)) outOfRange(off, len, what);
    }

    uint8_t u8(size_t off) const {
        need(off, 1, "byte");
        return data_[off];
    }
    uint16_t u16(size_t off) const {
        need(off, 2, "16-bit field");
        return uint16_t(data_[off] | data_[off + 1] << 8);
    }
    uint32_t u24(size_t off) const {
        need(off, 3, "24-bit field");
        return uint32_t(data_[off]) | uint32_t(data_[off + 1]) << 8 |
               uint32_t(data_[off + 2]) << 16;
    }
    uint32_t u32(size_t off) const {
        need(off, 4, "32-bit field");
        return uint32_t(data_[off]) | uint32_t(data_[off + 1]) << 8 |
               uint32_t(data_[off + 2]) << 16 | uint32_t(data_[off + 3]) << 24;
    }
    int16_t i16(size_t off) const { return int16_t(u16(off)); }
    int32_t i32(size_t off) const { return int32_t(u32(off)); }
    uint64_t u64(size_t off) const { return uint64_t(u32(off)) | uint64_t(u32(off + 4)) << 32; }
    int64_t i64(size_t off) const { return int64_t(u64(off)); }
    double f64(size_t off) const {
        uint64_t v = u64(off);
        double d;
        std::memcpy(&d, &v, 8);
        return d;
    }
    float f32(size_t off) const {
        uint32_t v = u32(off);
        float f;
        std::memcpy(&f, &v, 4);
        return f;
    }

    // A checked sub-view [off, off + len).
    Bytes sub(size_t off, size_t len, const char* what = "structure") const {
        need(off, len, what);
        return Bytes(data_ + off, len, page_);
    }
    std::vector<uint8_t> copy() const { return std::vector<uint8_t>(data_, data_ + size_); }

  private:
    [[noreturn]] void outOfRange(size_t off, size_t len, const char* what) const;

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    int64_t page_ = Error::kNoPage;
};

inline void putU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void putU24(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
}
inline void putU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline void putU64(uint8_t* p, uint64_t v) {
    putU32(p, uint32_t(v));
    putU32(p + 4, uint32_t(v >> 32));
}
inline void putF64(uint8_t* p, double d) {
    uint64_t v;
    std::memcpy(&v, &d, 8);
    putU64(p, v);
}
inline void putF32(uint8_t* p, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    putU32(p, v);
}

// Appending little-endian writer for building rows, definitions and pages in memory.
class ByteWriter {
  public:
    std::vector<uint8_t>& buf() { return buf_; }
    const std::vector<uint8_t>& buf() const { return buf_; }
    size_t size() const { return buf_.size(); }
    void u8(uint8_t v) { buf_.push_back(v); }
    void u16(uint16_t v) {
        put(&v, 2, [&](uint8_t* p) { putU16(p, v); });
    }
    void u24(uint32_t v) {
        put(&v, 3, [&](uint8_t* p) { putU24(p, v); });
    }
    void u32(uint32_t v) {
        put(&v, 4, [&](uint8_t* p) { putU32(p, v); });
    }
    void u64(uint64_t v) {
        put(&v, 8, [&](uint8_t* p) { putU64(p, v); });
    }
    void f64(double v) {
        put(&v, 8, [&](uint8_t* p) { putF64(p, v); });
    }
    void f32(float v) {
        put(&v, 4, [&](uint8_t* p) { putF32(p, v); });
    }
    void bytes(std::span<const uint8_t> s) { buf_.insert(buf_.end(), s.begin(), s.end()); }
    void zeros(size_t n) { buf_.insert(buf_.end(), n, 0); }

  private:
    template <class F>
    void put(const void*, size_t n, F f) {
        size_t at = buf_.size();
        buf_.resize(at + n);
        f(buf_.data() + at);
    }
    std::vector<uint8_t> buf_;
};

std::string hex(std::span<const uint8_t> s);

}  // namespace jet
