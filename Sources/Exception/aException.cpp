#include "aException.h"

#include "aDialogBox.h"

unsigned long long aException::objectCount = 0;

aException::aException() : aObject(), hasAdditionalData(false), line(0) {
    objectCount++;
}

aException::aException(aString ndescription) : aObject(), hasAdditionalData(false), line(0) {
    objectCount++;
    description = ndescription;
}

aException::aException(aString ndescription, aString ncondition)
    : aObject(), hasAdditionalData(false), line(0) {
    objectCount++;
    description = ndescription;
    condition = ncondition;
}

aException::aException(aString nsourcefile, int nline)
    : aObject(), hasAdditionalData(false), line(0) {
    objectCount++;
    hasAdditionalData = true;
    sourcefile = nsourcefile;
    line = nline;
}

aException::aException(aString ndescription, aString nsourcefile, int nline)
    : aObject(), hasAdditionalData(false), line(0) {
    objectCount++;
    description = ndescription;
    hasAdditionalData = true;
    sourcefile = nsourcefile;
    line = nline;
}

aException::aException(aString ndescription, aString ncondition, aString nsourcefile, int nline)
    : aObject(), hasAdditionalData(false), line(0) {
    objectCount++;
    description = ndescription;
    condition = ncondition;
    hasAdditionalData = true;
    sourcefile = nsourcefile;
    line = nline;
}

aException::aException(const aException& src)
    : aObject(), description(src.description), condition(src.condition),
      hasAdditionalData(src.hasAdditionalData), sourcefile(src.sourcefile), line(src.line) {
    objectCount++;
}

aException::~aException() {
    objectCount--;
}

aString aException::getCondition() const {
    return condition;
}

aString aException::getDescription() const {
    return description;
}

void aException::showDialogBox() const {
    aDialogBox dialog;
    aString message = "Exception Thrown";
    aString eol = aString::GetEndOfLine();

    // The parts present, separated by single line ends; never one at the end.
    aString detail;
    if (description != "") {
        detail += "Description: ";
        detail += description;
        if (condition != "" || hasAdditionalData)
            detail += eol;
    }
    if (condition != "") {
        detail += "Condition: ";
        detail += condition;
        if (hasAdditionalData)
            detail += eol;
    }
    if (hasAdditionalData) {
        detail += "File: ";
        detail += sourcefile;
        detail += eol;
        detail += "Line: ";
        detail += aString::GetFromInteger(line);
    }

    dialog.setMessage(message);
    dialog.setDetail(detail);
    dialog.setType(aDialogBox::stopDialog);
    dialog.addFirstButton("Continue");
    dialog.addSecondButton("Stop");
    dialog.addThirdButton("Report Bug");
    dialog.setDefaultButton(aDialogBox::buttonFirst);
    dialog.setCancelButton(aDialogBox::buttonSecond);
    dialog.setMovable(false);

    // Whichever button is pressed, the report only dismisses the alert.
    dialog.show();
}
