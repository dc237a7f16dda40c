// aDialogBox: the settings of one modal alert, and the call that shows it.
//
// A dialog holds a kind, a message, a detail text, three push buttons (first,
// second, third: where the platform puts its default, cancel and "other"
// buttons), an optional help button, which button answers Return (default)
// and which answers Escape (cancel), and whether the window can be moved.
// A fresh dialog is a plain alert with one button, the first, showing its
// standard title; it is also the default button, and there is no cancel or
// help button.
//
// The settings are only held; show() validates them, passes them to the
// platform's StandardAlert in one call and blocks until a button is pressed.
// Invalid settings and platform failures are thrown as aException. Setters
// never fail: those taking an enumeration replace a value they do not accept
// by a default. show() changes nothing, so a dialog can be shown again.
#ifndef LUMORA_ADIALOGBOX_H
#define LUMORA_ADIALOGBOX_H

#include "aObject.h"
#include "aString.h"

#include <cstdint>

class aDialogBox : public virtual aObject {
public:
    // Each enumeration is stored as 32 bits, so that any 32-bit value (a
    // stray one included) can be held and then refused by show().
    enum DialogType : std::int32_t {
        plainDialog = 1,
        stopDialog = 2,
        noteDialog = 3,
        cautionDialog = 4,
    };
    enum DialogButtonState : std::int32_t {
        buttonHidden = 0,
        buttonShownDefault = 1, // shown with the platform's standard title
        buttonShownCustom = 2,  // shown with the stored label
    };
    enum DialogButton : std::int32_t {
        buttonNone = 0,
        buttonFirst = 1,
        buttonSecond = 2,
        buttonThird = 3,
        buttonHelp = 4,
    };

    aDialogBox();
    aDialogBox(aString nmessage);
    aDialogBox(aString nmessage, aString ndetail);
    aDialogBox(DialogType ntype, aString nmessage);
    aDialogBox(DialogType ntype, aString nmessage, aString ndetail);
    aDialogBox(const aDialogBox& src);
    aDialogBox& operator=(const aDialogBox& src) = default;
    ~aDialogBox();

    void addFirstButton();
    void addFirstButton(aString nlabel);
    void addSecondButton();
    void addSecondButton(aString nlabel);
    void addThirdButton();
    void addThirdButton(aString nlabel);
    void addHelpButton();
    void removeFirstButton();
    void removeSecondButton();
    void removeThirdButton();
    void removeHelpButton();

    // Anything but the four kinds becomes plainDialog.
    void setType(DialogType ntype);
    // Anything but buttonFirst, buttonSecond, buttonThird becomes buttonFirst.
    void setDefaultButton(DialogButton nbutton);
    // Anything but buttonNone, buttonFirst, buttonSecond, buttonThird becomes
    // buttonNone.
    void setCancelButton(DialogButton nbutton);
    void setMovable(bool nmovable);
    void setMessage(aString nmessage);
    void setDetail(aString ndetail);

    // Shows the alert and waits; returns the button the user pressed
    // (buttonFirst when the platform reports no known button).
    DialogButton show();

private:
    friend class aTestProbe;

    DialogType type;
    aString message;
    aString detail;
    // A label is held only while its button's state is buttonShownCustom.
    aString okButtonLabel;
    aString cancelButtonLabel;
    aString otherButtonLabel;
    DialogButtonState okButtonState;
    DialogButtonState cancelButtonState;
    DialogButtonState otherButtonState;
    // Only buttonHidden and buttonShownDefault are valid for the help button.
    DialogButtonState helpButtonState;
    // buttonFirst, buttonSecond or buttonThird.
    DialogButton defaultButton;
    // buttonNone, buttonFirst, buttonSecond or buttonThird.
    DialogButton cancelButton;
    bool movable;

    static unsigned long long objectCount;
};

#endif
