#include "aDialogBox.h"

#include "PlatformAlert.h"
#include "aException.h"

#include <memory>

unsigned long long aDialogBox::objectCount = 0;

// Every constructor starts from the same settings: a plain alert with the
// first button showing its standard title as the default button.
#define LUMORA_DIALOG_DEFAULTS                                                                     \
    type(plainDialog), okButtonState(buttonShownDefault), cancelButtonState(buttonHidden),         \
        otherButtonState(buttonHidden), helpButtonState(buttonHidden), defaultButton(buttonFirst), \
        cancelButton(buttonNone), movable(true)

aDialogBox::aDialogBox() : aObject(), LUMORA_DIALOG_DEFAULTS {
    objectCount++;
}

aDialogBox::aDialogBox(aString nmessage) : aObject(), LUMORA_DIALOG_DEFAULTS {
    objectCount++;
    message = nmessage;
}

aDialogBox::aDialogBox(aString nmessage, aString ndetail) : aObject(), LUMORA_DIALOG_DEFAULTS {
    objectCount++;
    message = nmessage;
    detail = ndetail;
}

// The type is stored unchecked; show() refuses a value outside the four kinds.
aDialogBox::aDialogBox(DialogType ntype, aString nmessage) : aObject(), LUMORA_DIALOG_DEFAULTS {
    objectCount++;
    type = ntype;
    message = nmessage;
}

aDialogBox::aDialogBox(DialogType ntype, aString nmessage, aString ndetail)
    : aObject(), LUMORA_DIALOG_DEFAULTS {
    objectCount++;
    type = ntype;
    message = nmessage;
    detail = ndetail;
}

#undef LUMORA_DIALOG_DEFAULTS

aDialogBox::aDialogBox(const aDialogBox& src)
    : aObject(), type(src.type), message(src.message), detail(src.detail),
      okButtonLabel(src.okButtonLabel), cancelButtonLabel(src.cancelButtonLabel),
      otherButtonLabel(src.otherButtonLabel), okButtonState(src.okButtonState),
      cancelButtonState(src.cancelButtonState), otherButtonState(src.otherButtonState),
      helpButtonState(src.helpButtonState), defaultButton(src.defaultButton),
      cancelButton(src.cancelButton), movable(src.movable) {
    objectCount++;
}

aDialogBox::~aDialogBox() {
    objectCount--;
}

void aDialogBox::addFirstButton() {
    okButtonState = buttonShownDefault;
    okButtonLabel.assign();
}
void aDialogBox::addFirstButton(aString nlabel) {
    okButtonState = buttonShownCustom;
    okButtonLabel = nlabel;
}
void aDialogBox::addSecondButton() {
    cancelButtonState = buttonShownDefault;
    cancelButtonLabel.assign();
}
void aDialogBox::addSecondButton(aString nlabel) {
    cancelButtonState = buttonShownCustom;
    cancelButtonLabel = nlabel;
}
void aDialogBox::addThirdButton() {
    otherButtonState = buttonShownDefault;
    otherButtonLabel.assign();
}
void aDialogBox::addThirdButton(aString nlabel) {
    otherButtonState = buttonShownCustom;
    otherButtonLabel = nlabel;
}
void aDialogBox::addHelpButton() {
    helpButtonState = buttonShownDefault;
}
void aDialogBox::removeFirstButton() {
    okButtonState = buttonHidden;
    okButtonLabel.assign();
}
void aDialogBox::removeSecondButton() {
    cancelButtonState = buttonHidden;
    cancelButtonLabel.assign();
}
void aDialogBox::removeThirdButton() {
    otherButtonState = buttonHidden;
    otherButtonLabel.assign();
}
void aDialogBox::removeHelpButton() {
    helpButtonState = buttonHidden;
}

void aDialogBox::setType(DialogType ntype) {
    switch (ntype) {
    case plainDialog:
    case stopDialog:
    case noteDialog:
    case cautionDialog:
        type = ntype;
        break;
    default:
        type = plainDialog;
    }
}

void aDialogBox::setDefaultButton(DialogButton nbutton) {
    switch (nbutton) {
    case buttonFirst:
    case buttonSecond:
    case buttonThird:
        defaultButton = nbutton;
        break;
    default:
        defaultButton = buttonFirst;
    }
}

void aDialogBox::setCancelButton(DialogButton nbutton) {
    switch (nbutton) {
    case buttonNone:
    case buttonFirst:
    case buttonSecond:
    case buttonThird:
        cancelButton = nbutton;
        break;
    default:
        cancelButton = buttonNone;
    }
}

void aDialogBox::setMovable(bool nmovable) {
    movable = nmovable;
}

void aDialogBox::setMessage(aString nmessage) {
    message = nmessage;
}

void aDialogBox::setDetail(aString ndetail) {
    detail = ndetail;
}

namespace {

// A Pascal text made for the platform call; released with delete[] when it
// goes out of scope, so that every path out of show() releases it.
typedef std::unique_ptr<unsigned char[]> PascalText;

// The text the platform gets for one push button: none when hidden, the
// standard-title marker, or the label as a Pascal string (even when empty).
// Returns false for a state that is not one of the three.
bool buttonText(aDialogBox::DialogButtonState state, const aString& label,
                ConstStr255Param standardTitle, PascalText& made, ConstStr255Param& text) {
    switch (state) {
    case aDialogBox::buttonHidden:
        text = nullptr;
        return true;
    case aDialogBox::buttonShownDefault:
        text = standardTitle;
        return true;
    case aDialogBox::buttonShownCustom:
        made.reset(static_cast<unsigned char*>(label));
        text = made.get();
        return true;
    }
    return false;
}

} // namespace

aDialogBox::DialogButton aDialogBox::show() {
    AlertType alertType;
    switch (type) {
    case plainDialog:
        alertType = kAlertPlainAlert;
        break;
    case stopDialog:
        alertType = kAlertStopAlert;
        break;
    case noteDialog:
        alertType = kAlertNoteAlert;
        break;
    case cautionDialog:
        alertType = kAlertCautionAlert;
        break;
    default:
        throw aException("aDialogBox.show(): Invalid dialog type.", __FILE__, __LINE__);
    }

    // Empty texts are passed as no text at all.
    PascalText errorText;
    if (message != "")
        errorText.reset(static_cast<unsigned char*>(message));
    PascalText explanationText;
    if (detail != "")
        explanationText.reset(static_cast<unsigned char*>(detail));

    AlertStdAlertParamRec param;
    param.movable = movable;

    switch (helpButtonState) {
    case buttonHidden:
        param.helpButton = false;
        break;
    case buttonShownDefault:
        param.helpButton = true;
        break;
    default:
        throw aException("aDialogBox.show(): Invalid help button state.", __FILE__, __LINE__);
    }

    param.filterProc = nullptr;

    PascalText okText, cancelText, otherText;
    if (!buttonText(okButtonState, okButtonLabel, kAlertDefaultOKText, okText, param.defaultText))
        throw aException("aDialogBox.show(): Invalid first button state.", __FILE__, __LINE__);
    if (!buttonText(cancelButtonState, cancelButtonLabel, kAlertDefaultCancelText, cancelText,
                    param.cancelText))
        throw aException("aDialogBox.show(): Invalid second button state.", __FILE__, __LINE__);
    if (!buttonText(otherButtonState, otherButtonLabel, kAlertDefaultOtherText, otherText,
                    param.otherText))
        throw aException("aDialogBox.show(): Invalid third button state.", __FILE__, __LINE__);

    switch (defaultButton) {
    case buttonFirst:
        param.defaultButton = kAlertStdAlertOKButton;
        break;
    case buttonSecond:
        param.defaultButton = kAlertStdAlertCancelButton;
        break;
    case buttonThird:
        param.defaultButton = kAlertStdAlertOtherButton;
        break;
    default:
        throw aException("aDialogBox.show(): Invalid default button.", __FILE__, __LINE__);
    }

    switch (cancelButton) {
    case buttonNone:
        param.cancelButton = 0;
        break;
    case buttonFirst:
        param.cancelButton = kAlertStdAlertOKButton;
        break;
    case buttonSecond:
        param.cancelButton = kAlertStdAlertCancelButton;
        break;
    case buttonThird:
        param.cancelButton = kAlertStdAlertOtherButton;
        break;
    default:
        throw aException("aDialogBox.show(): Invalid cancel button.", __FILE__, __LINE__);
    }

    param.position = kWindowDefaultPosition;

    SInt16 itemHit = 0;
    OSErr dialogErr =
        StandardAlert(alertType, errorText.get(), explanationText.get(), &param, &itemHit);
    if (dialogErr != noErr)
        throw aException("aDialogBox.show(): OS error.", "dialogErr != noErr", __FILE__, __LINE__);

    // The item numbers are the button numbers of DialogButton.
    switch (itemHit) {
    case kAlertStdAlertCancelButton:
        return buttonSecond;
    case kAlertStdAlertOtherButton:
        return buttonThird;
    case kAlertStdAlertHelpButton:
        return buttonHelp;
    default:
        return buttonFirst;
    }
}
