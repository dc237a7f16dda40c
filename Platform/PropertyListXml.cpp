// XML property lists, parsed and written with pugixml. pugixml builds the
// element tree; this file maps it onto the layer's objects and back, checking
// the layer's limits on the way.
#include "PropertyList.h"

#include <pugixml.hpp>

#include <charconv>
#include <cmath>
#include <cstring>

namespace platform {

// --- Calendar ---

namespace {

constexpr long long kDaysFrom1970To2001 = 11323;

long long daysFromCivil(long long y, int m, int d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

} // namespace

double secondsFromCivil(const CivilTime& t) {
    long long days = daysFromCivil(t.year, t.month, t.day) - kDaysFrom1970To2001;
    return static_cast<double>(days * 86400 + t.hour * 3600 + t.minute * 60 + t.second);
}

CivilTime civilFromSeconds(long long seconds) {
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    long long z = days + kDaysFrom1970To2001 + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    CivilTime t{};
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = yoe + era * 400 + (t.month <= 2);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

namespace {

// --- Text helpers ---

bool isXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string trimmed(const std::string& text) {
    size_t b = 0, e = text.size();
    while (b < e && isXmlSpace(text[b]))
        ++b;
    while (e > b && isXmlSpace(text[e - 1]))
        --e;
    return text.substr(b, e - b);
}

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64Encode(const std::string& bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 2]);
        out += kBase64[(v >> 18) & 63];
        out += kBase64[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kBase64[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kBase64[v & 63] : '=';
    }
    return out;
}

// Decodes base64 text, ignoring white space. False on any other character or
// misplaced padding.
bool base64Decode(const std::string& text, std::string& out) {
    std::uint32_t acc = 0;
    int bits = 0, padding = 0;
    for (char c : text) {
        if (isXmlSpace(c))
            continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const char* at = c == '\0' ? nullptr : std::strchr(kBase64, c);
        if (at == nullptr || padding > 0)
            return false;
        acc = (acc << 6) | static_cast<std::uint32_t>(at - kBase64);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((acc >> bits) & 0xFF);
        }
    }
    return padding <= 2 && bits < 6 && (acc & ((1u << bits) - 1)) == 0;
}

// Integers: optional sign, then decimal digits or 0x and hex digits, within
// -2^63 .. 2^64-1.
const Object* parseInteger(const std::string& raw) {
    std::string text = trimmed(raw);
    bool negative = false;
    size_t at = 0;
    if (at < text.size() && (text[at] == '-' || text[at] == '+'))
        negative = text[at++] == '-';
    int base = 10;
    if (text.compare(at, 2, "0x") == 0 || text.compare(at, 2, "0X") == 0) {
        base = 16;
        at += 2;
    }
    std::uint64_t magnitude = 0;
    const char* first = text.data() + at;
    const char* last = text.data() + text.size();
    if (first == last)
        return nullptr;
    auto result = std::from_chars(first, last, magnitude, base);
    if (result.ec != std::errc() || result.ptr != last)
        return nullptr;
    if (!negative)
        return Number::unsignedInteger(magnitude);
    if (magnitude > std::uint64_t(INT64_MAX) + 1)
        return nullptr;
    return Number::integer(static_cast<std::int64_t>(0 - magnitude));
}

const Object* parseReal(const std::string& raw) {
    std::string text = trimmed(raw);
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+')
        ++first;
    double value = 0;
    auto result = std::from_chars(first, last, value);
    if (first == last || result.ec != std::errc() || result.ptr != last)
        return nullptr;
    return Number::real(value);
}

// Reads exactly `count` digits at text[at].
bool readDigits(const std::string& text, size_t at, size_t count, int& value) {
    if (at + count > text.size())
        return false;
    value = 0;
    for (size_t i = 0; i < count; ++i) {
        char c = text[at + i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// Dates: YYYY-MM-DDTHH:MM:SSZ.
const Object* parseDate(const std::string& raw) {
    std::string t = trimmed(raw);
    int y, mo, d, h, mi, s;
    if (t.size() != 20 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' ||
        t[16] != ':' || t[19] != 'Z' || !readDigits(t, 0, 4, y) || !readDigits(t, 5, 2, mo) ||
        !readDigits(t, 8, 2, d) || !readDigits(t, 11, 2, h) || !readDigits(t, 14, 2, mi) ||
        !readDigits(t, 17, 2, s))
        return nullptr;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59)
        return nullptr;
    return new Date(secondsFromCivil(CivilTime{y, mo, d, h, mi, s}));
}

// --- Reading ---

class XmlReader {
public:
    // A new reference to the value of `node`; null when it is not a valid
    // property-list element or a limit is passed. `depth` counts the
    // containers around `node`.
    const Object* value(pugi::xml_node node, int depth) {
        if (++values_ > kMaxValues)
            return nullptr;
        const char* name = node.name();
        if (std::strcmp(name, "dict") == 0)
            return depth < kMaxDepth ? dictionary(node, depth) : nullptr;
        if (std::strcmp(name, "array") == 0)
            return depth < kMaxDepth ? array(node, depth) : nullptr;
        if (std::strcmp(name, "true") == 0 || std::strcmp(name, "false") == 0) {
            if (node.first_child())
                return nullptr;
            return name[0] == 't' ? objectOf(kCFBooleanTrue) : objectOf(kCFBooleanFalse);
        }
        std::string content;
        if (!text(node, content))
            return nullptr;
        if (std::strcmp(name, "string") == 0)
            return isValidUtf8(content) ? makeString(std::move(content)) : nullptr;
        if (std::strcmp(name, "integer") == 0)
            return parseInteger(content);
        if (std::strcmp(name, "real") == 0)
            return parseReal(content);
        if (std::strcmp(name, "date") == 0)
            return parseDate(content);
        if (std::strcmp(name, "data") == 0) {
            std::string bytes;
            return base64Decode(content, bytes) ? new Data(std::move(bytes)) : nullptr;
        }
        return nullptr;
    }

private:
    // The concatenated text of a leaf element; false when it holds elements.
    static bool text(pugi::xml_node node, std::string& out) {
        for (pugi::xml_node child : node.children()) {
            if (child.type() != pugi::node_pcdata && child.type() != pugi::node_cdata)
                return false;
            out += child.value();
        }
        return true;
    }

    // Only white space may stand between the elements of a container.
    static bool isIgnorable(pugi::xml_node node) {
        if (node.type() != pugi::node_pcdata)
            return false;
        for (const char* p = node.value(); *p != '\0'; ++p)
            if (!isXmlSpace(*p))
                return false;
        return true;
    }

    const Object* array(pugi::xml_node node, int depth) {
        auto* result = new PlatformArrayObject(false, 0);
        for (pugi::xml_node child : node.children()) {
            if (isIgnorable(child))
                continue;
            const Object* element =
                child.type() == pugi::node_element ? value(child, depth + 1) : nullptr;
            if (element == nullptr) {
                CFRelease(result);
                return nullptr;
            }
            result->adopt(element);
        }
        return result;
    }

    const Object* dictionary(pugi::xml_node node, int depth) {
        auto* result = new PlatformDictionaryObject(false, 0);
        const PlatformStringObject* key = nullptr;
        for (pugi::xml_node child : node.children()) {
            if (isIgnorable(child))
                continue;
            if (!appendEntry(result, key, child, depth)) {
                CFRelease(key);
                CFRelease(result);
                return nullptr;
            }
        }
        if (key != nullptr) { // a key without a value
            CFRelease(key);
            CFRelease(result);
            return nullptr;
        }
        return result;
    }

    // Handles one child of a dictionary: a <key> when `key` is null, else the
    // key's value, which completes the entry.
    bool appendEntry(PlatformDictionaryObject* dict, const PlatformStringObject*& key,
                     pugi::xml_node child, int depth) {
        if (child.type() != pugi::node_element)
            return false;
        if (key == nullptr) {
            std::string name;
            if (std::strcmp(child.name(), "key") != 0 || !text(child, name) || !isValidUtf8(name))
                return false;
            key = makeString(std::move(name));
            return true;
        }
        const Object* v = value(child, depth + 1);
        if (v == nullptr)
            return false;
        dict->adopt(key, v);
        key = nullptr;
        return true;
    }

    size_t values_ = 0;
};

// --- Writing ---

// Whether XML 1.0 can carry `text` (valid UTF-8) unchanged.
bool xmlCanHold(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
        // U+FFFE and U+FFFF are not XML characters.
        if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
            (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE)
            return false;
    }
    return true;
}

std::string formatReal(double value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string formatInteger(const Number* n) {
    return n->isUnsigned ? std::to_string(n->bits)
                         : std::to_string(static_cast<std::int64_t>(n->bits));
}

bool formatDate(double seconds, std::string& out) {
    // Years 1..9999 lie well within +-4e11 seconds of 2001.
    if (!(std::fabs(seconds) < 4e11) || std::floor(seconds) != seconds)
        return false;
    CivilTime t = civilFromSeconds(static_cast<long long>(seconds));
    if (t.year < 1 || t.year > 9999)
        return false;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    out = buffer;
    return true;
}

bool appendText(pugi::xml_node parent, const char* name, const std::string& text) {
    if (!xmlCanHold(text))
        return false;
    pugi::xml_node element = parent.append_child(name);
    if (!text.empty())
        element.append_child(pugi::node_pcdata).set_value(text.c_str());
    return true;
}

bool writeValue(pugi::xml_node parent, const Object* o, int depth) {
    switch (o->type()) {
    case kTypeString:
        return appendText(parent, "string", static_cast<const PlatformStringObject*>(o)->utf8);
    case kTypeBoolean:
        parent.append_child(o == objectOf(kCFBooleanTrue) ? "true" : "false");
        return true;
    case kTypeNumber: {
        const auto* n = static_cast<const Number*>(o);
        return n->isReal ? appendText(parent, "real", formatReal(n->realValue))
                         : appendText(parent, "integer", formatInteger(n));
    }
    case kTypeDate: {
        std::string text;
        return formatDate(static_cast<const Date*>(o)->seconds, text) &&
               appendText(parent, "date", text);
    }
    case kTypeData:
        return appendText(parent, "data", base64Encode(static_cast<const Data*>(o)->bytes));
    case kTypeArray: {
        if (depth >= kMaxDepth)
            return false;
        pugi::xml_node node = parent.append_child("array");
        for (const Object* element : asArray(o)->elements)
            if (!writeValue(node, element, depth + 1))
                return false;
        return true;
    }
    case kTypeDictionary: {
        if (depth >= kMaxDepth)
            return false;
        pugi::xml_node node = parent.append_child("dict");
        for (const auto& entry : asDictionary(o)->entries)
            if (!appendText(node, "key", entry.key->utf8) ||
                !writeValue(node, entry.value, depth + 1))
                return false;
        return true;
    }
    default:
        return false;
    }
}

// Every value is one element and every dictionary entry adds a <key>, so a
// file within the value limit opens at most 2 * kMaxValues elements (and
// <plist>). Counting them first keeps pugixml from building a tree of
// millions of nodes that would be refused anyway; this halves the memory a
// hostile 16 MiB file can take.
bool fewEnoughElements(const std::string& bytes) {
    size_t elements = 0;
    for (size_t i = 0; i + 1 < bytes.size(); ++i)
        if (bytes[i] == '<' && bytes[i + 1] != '/' && bytes[i + 1] != '!' && bytes[i + 1] != '?')
            ++elements;
    return elements <= 2 * kMaxValues + 1;
}

struct StringWriter : pugi::xml_writer {
    std::string& out;
    explicit StringWriter(std::string& nout) : out(nout) {}
    void write(const void* data, size_t size) override {
        out.append(static_cast<const char*>(data), size);
    }
};

} // namespace

CFTypeRef parseXmlPropertyList(const std::string& bytes) {
    if (bytes.size() > kMaxFileBytes || !fewEnoughElements(bytes))
        return nullptr;
    pugi::xml_document document;
    // White-space-only text is kept so that such strings survive; DOCTYPE and
    // comments are skipped; entity declarations are never expanded.
    unsigned options = pugi::parse_default | pugi::parse_ws_pcdata;
    if (!document.load_buffer(bytes.data(), bytes.size(), options, pugi::encoding_auto))
        return nullptr;
    pugi::xml_node plist = document.document_element();
    if (std::strcmp(plist.name(), "plist") != 0)
        return nullptr;
    pugi::xml_node root;
    for (pugi::xml_node child : plist.children()) {
        if (child.type() == pugi::node_pcdata && trimmed(child.value()).empty())
            continue;
        if (child.type() != pugi::node_element || root)
            return nullptr; // exactly one value
        root = child;
    }
    if (!root)
        return nullptr;
    XmlReader reader;
    return reader.value(root, 0);
}

bool writeXmlPropertyList(CFTypeRef plist, std::string& out) {
    const Object* root = objectOf(plist);
    if (root == nullptr)
        return false;
    pugi::xml_document document;
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    document.append_child(pugi::node_doctype)
        .set_value("plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                   "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\"");
    pugi::xml_node top = document.append_child("plist");
    top.append_attribute("version") = "1.0";
    if (!writeValue(top, root, 0))
        return false;
    std::string text;
    StringWriter writer(text);
    document.save(writer, "\t", pugi::format_default, pugi::encoding_utf8);
    // pugixml writes carriage returns raw, and every XML reader turns a raw
    // one into a line feed; a character reference keeps it. Markup never
    // holds one, so every carriage return here belongs to a string.
    out.clear();
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\r')
            out += "&#13;";
        else
            out += c;
    }
    return true;
}

CFTypeRef parsePropertyList(const std::string& bytes) {
    if (bytes.compare(0, 8, "bplist00") == 0)
        return parseBinaryPropertyList(bytes);
    return parseXmlPropertyList(bytes);
}

} // namespace platform
