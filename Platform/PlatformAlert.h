// Standard alerts: one call that shows a modal alert and waits for a button.
//
// StandardAlert takes an alert type, two optional Pascal texts (the message
// and its explanation; null for none) and a parameter record that says which
// buttons are shown and with what titles. A button title is null (the button
// is not shown), the marker -1 (the button's standard title) or a Pascal
// string (a custom title, possibly empty). The call returns only when the
// user has dismissed the alert; it reads the texts only while it runs.
//
// The item numbers of the buttons are fixed: 1 is the default (first) button,
// 2 the cancel (second) button, 3 the other (third) button, 4 the help button.
// The record's defaultButton and cancelButton use the same numbers (0 for no
// cancel button).
#ifndef LUMORA_PLATFORM_ALERT_H
#define LUMORA_PLATFORM_ALERT_H

#include "PlatformTypes.h"

#include <cstdint>

typedef SInt16 AlertType;

enum : AlertType {
    kAlertStopAlert = 0,
    kAlertNoteAlert = 1,
    kAlertCautionAlert = 2,
    kAlertPlainAlert = 3,
};

// Item numbers of the alert's buttons, as reported in outItemHit.
enum : SInt16 {
    kAlertStdAlertOKButton = 1,
    kAlertStdAlertCancelButton = 2,
    kAlertStdAlertOtherButton = 3,
    kAlertStdAlertHelpButton = 4,
};

// The default placement of the alert window.
enum : UInt16 { kWindowDefaultPosition = 0 };

// Markers asking for a button's standard title: the pointer value -1. They
// are never read through; compare against them only.
inline const ConstStr255Param kAlertDefaultOKText =
    reinterpret_cast<ConstStr255Param>(static_cast<std::intptr_t>(-1));
inline const ConstStr255Param kAlertDefaultCancelText =
    reinterpret_cast<ConstStr255Param>(static_cast<std::intptr_t>(-1));
inline const ConstStr255Param kAlertDefaultOtherText =
    reinterpret_cast<ConstStr255Param>(static_cast<std::intptr_t>(-1));

// An event filter for the alert. Accepted for the record's shape; the layer
// never calls it (a null filter is the only one the kit passes).
typedef Boolean (*ModalFilterUPP)(void* dialog, void* event, SInt16* itemHit);

struct AlertStdAlertParamRec {
    Boolean movable;              // the user may move the alert window
    Boolean helpButton;           // a help button (item 4) is shown
    ModalFilterUPP filterProc;    // null: no event filter
    ConstStr255Param defaultText; // first button: null, -1 marker or title
    ConstStr255Param cancelText;  // second button: null, -1 marker or title
    ConstStr255Param otherText;   // third button: null, -1 marker or title
    SInt16 defaultButton;         // item answering Return: 1, 2 or 3
    SInt16 cancelButton;          // item answering Escape: 0 (none), 1, 2 or 3
    UInt16 position;              // kWindowDefaultPosition
};

// Result codes of StandardAlert besides noErr.
enum : OSErr {
    kAlertNoDisplayErr = -30100, // neither DISPLAY nor WAYLAND_DISPLAY is set
    kAlertNoProgramErr = -30101, // no alert program on PATH
    kAlertProgramErr = -30102,   // the alert program could not run or failed
};

// Shows the alert modally through the desktop's alert program and waits.
// Relies on: DISPLAY or WAYLAND_DISPLAY naming a display, and one of zenity,
// kdialog or xmessage on PATH. A null record asks for one standard OK button;
// a null outItemHit is not written. Returns noErr and the pressed button's
// item number in *outItemHit (closing the alert without a button reports the
// cancel button, or the default one when there is none); otherwise one of the
// codes above, with nothing shown and *outItemHit untouched. The movable flag
// and the position are left to the alert program, which centres the alert.
OSErr StandardAlert(AlertType inAlertType, ConstStr255Param inError, ConstStr255Param inExplanation,
                    const AlertStdAlertParamRec* inAlertParam, SInt16* outItemHit);

#endif
