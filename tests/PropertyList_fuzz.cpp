// libFuzzer harness for the property-list readers (built by scripts/fuzz).
//
// Any input must be refused or read without a crash, a leak or undefined
// behaviour; whatever is read and can be written as XML must read back equal.
#include "PropertyList.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    CFTypeRef parsed = platform::parsePropertyList(bytes);
    std::string xml;
    if (parsed != nullptr && platform::writeXmlPropertyList(parsed, xml)) {
        CFTypeRef again = platform::parseXmlPropertyList(xml);
        if (!platform::propertyListsEqual(parsed, again))
            std::abort();
        CFRelease(again);
    }
    CFRelease(parsed);
    return 0;
}
