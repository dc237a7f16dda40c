// Binary property lists ("bplist00"), read only.
//
// Layout: the 8-byte magic, the objects, a table of object offsets, and a
// 32-byte trailer giving the widths of offsets and object references, the
// number of objects, the top object and where the offset table starts. Every
// offset, count and width is checked against the file before use, so a
// hostile file is refused rather than read out of bounds. Objects used more
// than once are built once and shared (they are immutable); each use still
// counts its values against kMaxValues and its nesting against kMaxDepth.
#include "PropertyList.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace platform {

namespace {

constexpr size_t kHeaderBytes = 8;
constexpr size_t kTrailerBytes = 32;

class BinaryReader {
public:
    explicit BinaryReader(const std::string& bytes)
        : data_(reinterpret_cast<const unsigned char*>(bytes.data())), size_(bytes.size()) {}

    ~BinaryReader() {
        for (const auto& built : memo_)
            CFRelease(built.second.object);
    }

    // A new reference to the top object; null when the file is refused.
    const Object* read() {
        if (size_ < kHeaderBytes + kTrailerBytes || size_ > kMaxFileBytes ||
            std::memcmp(data_, "bplist00", kHeaderBytes) != 0)
            return nullptr;
        const unsigned char* trailer = data_ + size_ - kTrailerBytes;
        offsetWidth_ = trailer[6];
        refWidth_ = trailer[7];
        std::uint64_t objects = bigEndian(trailer + 8, 8);
        std::uint64_t top = bigEndian(trailer + 16, 8);
        std::uint64_t table = bigEndian(trailer + 24, 8);
        objectsEnd_ = size_ - kTrailerBytes;
        if (offsetWidth_ < 1 || offsetWidth_ > 8 || refWidth_ < 1 || refWidth_ > 8 ||
            objects == 0 || top >= objects || table < kHeaderBytes || table > objectsEnd_ ||
            objects > (objectsEnd_ - table) / offsetWidth_)
            return nullptr;
        objectCount_ = objects;
        tableOffset_ = table;
        return value(top, 0);
    }

private:
    struct Built {
        const Object* object = nullptr; // one reference held by the memo
        size_t values = 0;              // values in the subtree, counted per use
        int height = 0;                 // container levels in the subtree
    };

    static std::uint64_t bigEndian(const unsigned char* p, size_t width) {
        std::uint64_t v = 0;
        for (size_t i = 0; i < width; ++i)
            v = (v << 8) | p[i];
        return v;
    }

    // Whether [offset, offset + length) lies within the object area.
    bool inside(std::uint64_t offset, std::uint64_t length) const {
        return offset >= kHeaderBytes && offset <= objectsEnd_ && length <= objectsEnd_ - offset;
    }

    // A new reference to object `index` at `depth` enclosing containers.
    const Object* value(std::uint64_t index, int depth) {
        if (index >= objectCount_)
            return nullptr;
        auto known = memo_.find(index);
        if (known != memo_.end()) {
            values_ += known->second.values;
            if (values_ > kMaxValues || depth + known->second.height > kMaxDepth)
                return nullptr;
            return objectOf(CFRetain(known->second.object));
        }
        size_t valuesBefore = values_;
        int height = 0;
        const Object* made = build(index, depth, height);
        if (made == nullptr)
            return nullptr;
        memo_.emplace(index, Built{objectOf(CFRetain(made)), values_ - valuesBefore, height});
        return made;
    }

    // Builds object `index`; `height` receives its container levels.
    const Object* build(std::uint64_t index, int depth, int& height) {
        if (++values_ > kMaxValues)
            return nullptr;
        std::uint64_t at = bigEndian(data_ + tableOffset_ + index * offsetWidth_, offsetWidth_);
        if (!inside(at, 1))
            return nullptr;
        unsigned marker = data_[at];
        unsigned kind = marker >> 4, info = marker & 0x0F;
        ++at;
        switch (kind) {
        case 0x0:
            if (marker == 0x08 || marker == 0x09)
                return objectOf(marker == 0x09 ? kCFBooleanTrue : kCFBooleanFalse);
            return nullptr; // null and fill bytes are not property-list values
        case 0x1:
            return integer(at, info);
        case 0x2:
            return real(at, info);
        case 0x3:
            return marker == 0x33 ? date(at) : nullptr;
        case 0x4:
        case 0x5:
        case 0x6:
            return bytesObject(at, kind, info);
        case 0xA:
        case 0xD:
            if (depth >= kMaxDepth)
                return nullptr;
            return kind == 0xA ? array(at, info, depth, height)
                               : dictionary(at, info, depth, height);
        default:
            return nullptr; // UIDs, sets and unknown kinds
        }
    }

    // Reads the element count that follows a marker: the low nibble, or an
    // integer object when the nibble is 0xF. Advances `at` past it.
    bool count(std::uint64_t& at, unsigned info, std::uint64_t& out) {
        if (info != 0x0F) {
            out = info;
            return true;
        }
        if (!inside(at, 1) || (data_[at] >> 4) != 0x1 || (data_[at] & 0x0F) > 3)
            return false;
        size_t width = size_t(1) << (data_[at] & 0x0F);
        if (!inside(at + 1, width))
            return false;
        out = bigEndian(data_ + at + 1, width);
        at += 1 + width;
        return true;
    }

    const Object* integer(std::uint64_t at, unsigned info) {
        if (info > 4)
            return nullptr;
        size_t width = size_t(1) << info;
        if (!inside(at, width))
            return nullptr;
        if (width < 8)
            return Number::unsignedInteger(bigEndian(data_ + at, width));
        if (width == 8)
            return Number::integer(static_cast<std::int64_t>(bigEndian(data_ + at, 8)));
        // 128 bits: accepted only when the value fits in 64 bits.
        std::uint64_t high = bigEndian(data_ + at, 8), low = bigEndian(data_ + at + 8, 8);
        if (high == 0)
            return Number::unsignedInteger(low);
        if (high == ~std::uint64_t(0) && (low >> 63) == 1)
            return Number::integer(static_cast<std::int64_t>(low));
        return nullptr;
    }

    const Object* real(std::uint64_t at, unsigned info) {
        if (info == 2 && inside(at, 4)) {
            std::uint32_t bits = static_cast<std::uint32_t>(bigEndian(data_ + at, 4));
            float f;
            std::memcpy(&f, &bits, 4);
            return Number::real(f);
        }
        if (info == 3 && inside(at, 8)) {
            std::uint64_t bits = bigEndian(data_ + at, 8);
            double d;
            std::memcpy(&d, &bits, 8);
            return Number::real(d);
        }
        return nullptr;
    }

    const Object* date(std::uint64_t at) {
        if (!inside(at, 8))
            return nullptr;
        std::uint64_t bits = bigEndian(data_ + at, 8);
        double seconds;
        std::memcpy(&seconds, &bits, 8);
        return new Date(seconds);
    }

    // Data (0x4), ASCII strings (0x5) and UTF-16 strings (0x6).
    const Object* bytesObject(std::uint64_t at, unsigned kind, unsigned info) {
        std::uint64_t n;
        if (!count(at, info, n) || n > objectsEnd_)
            return nullptr;
        std::uint64_t length = kind == 0x6 ? n * 2 : n;
        if (!inside(at, length))
            return nullptr;
        const char* start = reinterpret_cast<const char*>(data_ + at);
        if (kind == 0x4)
            return new Data(std::string(start, length));
        if (kind == 0x5) {
            for (std::uint64_t i = 0; i < n; ++i)
                if (data_[at + i] > 0x7F)
                    return nullptr;
            return makeString(std::string(start, length));
        }
        std::string utf8;
        return utf16ToUtf8(data_ + at, n, utf8) ? makeString(std::move(utf8)) : nullptr;
    }

    static void appendUtf8(std::uint32_t cp, std::string& out) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    // Big-endian UTF-16 to UTF-8; false on an unpaired surrogate.
    static bool utf16ToUtf8(const unsigned char* p, std::uint64_t units, std::string& out) {
        out.reserve(units);
        for (std::uint64_t i = 0; i < units; ++i) {
            std::uint32_t u = (p[2 * i] << 8) | p[2 * i + 1];
            if (u >= 0xDC00 && u <= 0xDFFF)
                return false;
            if (u >= 0xD800 && u <= 0xDBFF) {
                if (i + 1 >= units)
                    return false;
                std::uint32_t v = (p[2 * i + 2] << 8) | p[2 * i + 3];
                if (v < 0xDC00 || v > 0xDFFF)
                    return false;
                u = 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00);
                ++i;
            }
            appendUtf8(u, out);
        }
        return true;
    }

    // Reads `n` object references starting at `at`; false when they leave
    // the object area.
    bool references(std::uint64_t at, std::uint64_t n, std::vector<std::uint64_t>& out) {
        if (n > objectsEnd_ / refWidth_ || !inside(at, n * refWidth_))
            return false;
        out.resize(n);
        for (std::uint64_t i = 0; i < n; ++i)
            out[i] = bigEndian(data_ + at + i * refWidth_, refWidth_);
        return true;
    }

    // The container levels of object `index`, once built.
    int heightOf(std::uint64_t index) const {
        auto found = memo_.find(index);
        return found == memo_.end() ? 0 : found->second.height;
    }

    const Object* array(std::uint64_t at, unsigned info, int depth, int& height) {
        std::uint64_t n;
        std::vector<std::uint64_t> refs;
        if (!count(at, info, n) || !references(at, n, refs))
            return nullptr;
        auto* result = new PlatformArrayObject(false, 0);
        int tallest = 0;
        for (std::uint64_t ref : refs) {
            const Object* element = value(ref, depth + 1);
            if (element == nullptr) {
                CFRelease(result);
                return nullptr;
            }
            tallest = std::max(tallest, heightOf(ref));
            result->adopt(element);
        }
        height = tallest + 1;
        return result;
    }

    const Object* dictionary(std::uint64_t at, unsigned info, int depth, int& height) {
        std::uint64_t n;
        std::vector<std::uint64_t> keys, values;
        if (!count(at, info, n) || !references(at, n, keys) || n > objectsEnd_ / refWidth_ ||
            !references(at + n * refWidth_, n, values))
            return nullptr;
        auto* result = new PlatformDictionaryObject(false, 0);
        int tallest = 0;
        for (std::uint64_t i = 0; i < n; ++i) {
            const Object* key = value(keys[i], depth + 1);
            const Object* v = asString(key) != nullptr ? value(values[i], depth + 1) : nullptr;
            if (v == nullptr) {
                CFRelease(key);
                CFRelease(result);
                return nullptr;
            }
            tallest = std::max(tallest, heightOf(values[i]));
            result->adopt(asString(key), v);
        }
        height = tallest + 1;
        return result;
    }

    const unsigned char* data_;
    size_t size_;
    size_t offsetWidth_ = 0, refWidth_ = 0;
    std::uint64_t objectCount_ = 0, tableOffset_ = 0, objectsEnd_ = 0;
    size_t values_ = 0;
    std::unordered_map<std::uint64_t, Built> memo_; // objects built so far, by index
};

} // namespace

CFTypeRef parseBinaryPropertyList(const std::string& bytes) {
    BinaryReader reader(bytes);
    return reader.read();
}

} // namespace platform
