// Platform strings: creation, copies and conversion to C strings.
#include "PropertyObjects.h"

#include <cstring>
#include <map>
#include <mutex>

namespace platform {

bool isValidUtf8(const std::string& text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra;
        std::uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        const std::uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

} // namespace platform

namespace {

bool isAscii(const std::string& text) {
    for (unsigned char c : text)
        if (c > 0x7F)
            return false;
    return true;
}

// Whether `text` (valid UTF-8) can be expressed in `encoding`.
bool fitsEncoding(const std::string& text, CFStringEncoding encoding) {
    if (encoding == kCFStringEncodingASCII)
        return isAscii(text);
    return encoding == kCFStringEncodingUTF8;
}

} // namespace

CFStringRef __CFStringMakeConstantString(const char* cStr) {
    if (cStr == nullptr)
        return nullptr;
    static std::mutex lock;
    // Constant strings live as long as the process; the table is never freed
    // so that references stay valid during static destruction.
    static auto* table = new std::map<std::string, const PlatformStringObject*>();
    std::string text(cStr);
    if (!platform::isValidUtf8(text))
        return nullptr;
    std::lock_guard<std::mutex> guard(lock);
    auto found = table->find(text);
    if (found != table->end())
        return found->second;
    const auto* made = new PlatformStringObject(text, true);
    table->emplace(std::move(text), made);
    return made;
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding encoding) {
    if (cStr == nullptr)
        return nullptr;
    std::string text(cStr);
    if (encoding == kCFStringEncodingUTF8 ? !platform::isValidUtf8(text)
                                          : !fitsEncoding(text, encoding))
        return nullptr;
    return platform::makeString(std::move(text));
}

CFStringRef CFStringCreateCopy(CFAllocatorRef, CFStringRef theString) {
    const PlatformStringObject* s = platform::asString(theString);
    if (s == nullptr)
        return nullptr;
    if (s->immortal())
        return s;
    return static_cast<CFStringRef>(CFRetain(s));
}

Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding) {
    const PlatformStringObject* s = platform::asString(theString);
    if (s == nullptr || buffer == nullptr || bufferSize <= 0)
        return false;
    const std::string& text = s->utf8;
    if (text.find('\0') != std::string::npos || !fitsEncoding(text, encoding))
        return false;
    if (text.size() + 1 > static_cast<size_t>(bufferSize))
        return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

CFIndex CFStringGetLength(CFStringRef theString) {
    const PlatformStringObject* s = platform::asString(theString);
    if (s == nullptr)
        return 0;
    CFIndex units = 0;
    for (unsigned char c : s->utf8) {
        if ((c & 0xC0) != 0x80)
            ++units;
        if (c >= 0xF0)
            ++units; // a character outside the BMP takes two UTF-16 units
    }
    return units;
}

CFTypeID CFStringGetTypeID() {
    return platform::kTypeString;
}
