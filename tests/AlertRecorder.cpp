#include "AlertRecorder.h"

std::vector<RecordedAlert> AlertRecorder::calls;
OSErr AlertRecorder::result = noErr;
SInt16 AlertRecorder::itemHit = kAlertStdAlertOKButton;

namespace {

RecordedText record(ConstStr255Param text) {
    RecordedText recorded;
    if (text == nullptr)
        recorded.kind = RecordedText::none;
    else if (text == kAlertDefaultOKText)
        recorded.kind = RecordedText::marker;
    else {
        recorded.kind = RecordedText::text;
        recorded.value.assign(reinterpret_cast<const char*>(text + 1), text[0]);
    }
    return recorded;
}

} // namespace

OSErr StandardAlert(AlertType inAlertType, ConstStr255Param inError, ConstStr255Param inExplanation,
                    const AlertStdAlertParamRec* inAlertParam, SInt16* outItemHit) {
    RecordedAlert call;
    call.alertType = inAlertType;
    call.error = record(inError);
    call.explanation = record(inExplanation);
    if (inAlertParam != nullptr) {
        call.hadParam = true;
        call.movable = inAlertParam->movable;
        call.helpButton = inAlertParam->helpButton;
        call.filterProc = inAlertParam->filterProc;
        call.defaultText = record(inAlertParam->defaultText);
        call.cancelText = record(inAlertParam->cancelText);
        call.otherText = record(inAlertParam->otherText);
        call.defaultButton = inAlertParam->defaultButton;
        call.cancelButton = inAlertParam->cancelButton;
        call.position = inAlertParam->position;
    }
    AlertRecorder::calls.push_back(call);
    if (AlertRecorder::result == noErr && outItemHit != nullptr)
        *outItemHit = AlertRecorder::itemHit;
    return AlertRecorder::result;
}
