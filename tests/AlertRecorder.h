// A recording double of the platform's StandardAlert, linked in place of the
// real one (tests/alert_recorder.cmake adds it to the tests that need it).
//
// Every call is kept with copies of its texts: the caller releases its
// buffers as soon as the call returns. The pointer values are kept too, so a
// test can tell "no text" (null) from the standard-title marker (-1) from an
// empty Pascal string.
#ifndef LUMORA_TEST_ALERT_RECORDER_H
#define LUMORA_TEST_ALERT_RECORDER_H

#include "PlatformAlert.h"

#include <string>
#include <vector>

struct RecordedText {
    enum Kind { none, marker, text } kind = none;
    std::string value; // the Pascal string's bytes, for kind == text

    bool isNone() const { return kind == none; }
    bool isMarker() const { return kind == marker; }
    bool is(const std::string& expected) const { return kind == text && value == expected; }
};

struct RecordedAlert {
    AlertType alertType = -1;
    RecordedText error;
    RecordedText explanation;
    bool hadParam = false;
    Boolean movable = 0;
    Boolean helpButton = 0;
    ModalFilterUPP filterProc = nullptr;
    RecordedText defaultText;
    RecordedText cancelText;
    RecordedText otherText;
    SInt16 defaultButton = -1;
    SInt16 cancelButton = -1;
    UInt16 position = 0xFFFF;
};

struct AlertRecorder {
    static std::vector<RecordedAlert> calls;
    // What the next calls answer.
    static OSErr result;
    static SInt16 itemHit;

    static void reset() {
        calls.clear();
        result = noErr;
        itemHit = kAlertStdAlertOKButton;
    }
};

#endif
