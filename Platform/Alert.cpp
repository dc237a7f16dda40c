// Standard alerts through the desktop's alert program.
//
// Only StandardAlert lives in this file (its helpers are private to it), so
// that a test can link its own StandardAlert in place of this one.
#include "PlatformAlert.h"

OSErr StandardAlert(AlertType, ConstStr255Param, ConstStr255Param, const AlertStdAlertParamRec*,
                    SInt16*) {
    return kAlertNoProgramErr;
}
