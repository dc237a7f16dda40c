// aException: the one exception type of the library, thrown by value.
//
// A record carries a description ("aDialogBox.show(): OS error."), the text
// of the failed test when a platform result code was tested ("dialogErr !=
// noErr"), and, when hasAdditionalData is true, the throw site's source file
// and line. It owns copies of its texts and never changes after construction.
// It derives from no standard exception class: catch it as aException.
//
// Throw sites write, for example:
//     throw aException("aDialogBox.show(): OS error.", "dialogErr != noErr",
//                      __FILE__, __LINE__);
//
// The two two-argument constructors are told apart by the second argument's
// type: two strings are a description and a condition, a string and an int
// are a source file and a line.
#ifndef LUMORA_AEXCEPTION_H
#define LUMORA_AEXCEPTION_H

#include "aObject.h"
#include "aString.h"

class aException : public virtual aObject {
public:
    aException();
    aException(aString ndescription);
    aException(aString ndescription, aString ncondition);
    aException(aString nsourcefile, int nline);
    aException(aString ndescription, aString nsourcefile, int nline);
    aException(aString ndescription, aString ncondition, aString nsourcefile, int nline);
    // The runtime may copy a thrown record: a copy is a new, counted object.
    aException(const aException& src);
    aException& operator=(const aException& src) = default;
    ~aException();

    aString getCondition() const;
    aString getDescription() const;

    // Reports the record in a stop alert that cannot be moved, with the
    // message "Exception Thrown", the fields as detail text and the buttons
    // "Continue", "Stop" and "Report Bug"; returns when one is pressed.
    // Throws "aDialogBox.show(): OS error." when the alert cannot be shown.
    void showDialogBox() const;

private:
    friend class aTestProbe;

    aString description;
    aString condition;
    // True exactly when sourcefile and line hold the throw site.
    bool hasAdditionalData;
    aString sourcefile;
    int line;

    static unsigned long long objectCount;
};

#endif
