// The dialog box: its settings, the validation made by show(), and the exact
// arguments of its one StandardAlert call (recorded by a double).
#include "AlertRecorder.h"
#include "TestProbe.h"
#include "aDialogBox.h"
#include "aException.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

std::string text(const aString& s) {
    return std::string(s.getValue(), s.getLength());
}

// "-" for no text, "*" for the standard-title marker, otherwise the text in
// quotes (so an empty Pascal string reads '').
std::string describe(const RecordedText& t) {
    switch (t.kind) {
    case RecordedText::none:
        return "-";
    case RecordedText::marker:
        return "*";
    default:
        return "'" + t.value + "'";
    }
}

// One recorded call, in a form that a table row can state in one line.
struct Shown {
    AlertType type;
    std::string error, explanation, first, second, third;
    SInt16 defaultButton, cancelButton;
    bool movable, help;
};

void expectCall(const RecordedAlert& call, const Shown& want) {
    EXPECT_EQ(call.alertType, want.type);
    EXPECT_EQ(describe(call.error), want.error);
    EXPECT_EQ(describe(call.explanation), want.explanation);
    ASSERT_TRUE(call.hadParam);
    EXPECT_EQ(describe(call.defaultText), want.first);
    EXPECT_EQ(describe(call.cancelText), want.second);
    EXPECT_EQ(describe(call.otherText), want.third);
    EXPECT_EQ(call.defaultButton, want.defaultButton);
    EXPECT_EQ(call.cancelButton, want.cancelButton);
    EXPECT_EQ(call.movable != 0, want.movable);
    EXPECT_EQ(call.helpButton != 0, want.help);
    EXPECT_EQ(call.filterProc, nullptr) << "never an event filter";
    EXPECT_EQ(call.position, kWindowDefaultPosition);
}

class aDialogBoxTest : public ::testing::Test {
protected:
    void SetUp() override { AlertRecorder::reset(); }
};

TEST_F(aDialogBoxTest, ShowPassesTheSettingsToOneStandardAlertCall) {
    typedef aDialogBox D;
    struct Case {
        std::function<D()> make;
        Shown want;
        const char* why;
    };
    const Case cases[] = {
        {[] { return D(); },
         {kAlertPlainAlert, "-", "-", "*", "-", "-", 1, 0, true, false},
         "a fresh dialog: plain, no texts, first button standard and default"},
        {[] { return D("M"); },
         {kAlertPlainAlert, "'M'", "-", "*", "-", "-", 1, 0, true, false},
         "message only"},
        {[] { return D("M", "X"); },
         {kAlertPlainAlert, "'M'", "'X'", "*", "-", "-", 1, 0, true, false},
         "message and detail"},
        {[] { return D("", ""); },
         {kAlertPlainAlert, "-", "-", "*", "-", "-", 1, 0, true, false},
         "empty texts are no text, never empty Pascal strings"},
        {[] { return D(D::stopDialog, "M"); },
         {kAlertStopAlert, "'M'", "-", "*", "-", "-", 1, 0, true, false},
         "stop dialog is the stop alert (0)"},
        {[] { return D(D::noteDialog, "M", "X"); },
         {kAlertNoteAlert, "'M'", "'X'", "*", "-", "-", 1, 0, true, false},
         "note dialog is the note alert (1)"},
        {[] { return D(D::cautionDialog, "", "X"); },
         {kAlertCautionAlert, "-", "'X'", "*", "-", "-", 1, 0, true, false},
         "caution dialog is the caution alert (2); detail without message"},
        {[] {
             D d;
             d.addFirstButton("");
             return d;
         },
         {kAlertPlainAlert, "-", "-", "''", "-", "-", 1, 0, true, false},
         "an empty custom label is an empty Pascal string, not the marker"},
        {[] {
             D d;
             d.addSecondButton("Stop");
             d.addSecondButton();
             return d;
         },
         {kAlertPlainAlert, "-", "-", "*", "*", "-", 1, 0, true, false},
         "the standard title replaces an earlier label"},
        {[] {
             D d;
             d.addThirdButton("Later");
             d.removeThirdButton();
             d.addThirdButton();
             return d;
         },
         {kAlertPlainAlert, "-", "-", "*", "-", "*", 1, 0, true, false},
         "removing drops the label; adding again gives the standard title"},
        {[] {
             D d;
             d.removeFirstButton();
             return d;
         },
         {kAlertPlainAlert, "-", "-", "-", "-", "-", 1, 0, true, false},
         "a removed first button is no text while it stays the default (1)"},
        {[] {
             D d;
             d.addFirstButton("Yes");
             d.addSecondButton("No");
             d.addThirdButton("Maybe");
             d.setDefaultButton(D::buttonThird);
             d.setCancelButton(D::buttonFirst);
             d.setMovable(false);
             return d;
         },
         {kAlertPlainAlert, "-", "-", "'Yes'", "'No'", "'Maybe'", 3, 1, false, false},
         "custom labels, default and cancel buttons and the movable flag"},
        {[] {
             D d;
             d.setType(static_cast<D::DialogType>(7));
             return d;
         },
         {kAlertPlainAlert, "-", "-", "*", "-", "-", 1, 0, true, false},
         "setType replaces an unknown kind by the plain dialog"},
        {[] {
             D d;
             d.setType(D::cautionDialog);
             d.setType(static_cast<D::DialogType>(0));
             return d;
         },
         {kAlertPlainAlert, "-", "-", "*", "-", "-", 1, 0, true, false},
         "the replacement is plainDialog, not the previous kind"},
        {[] {
             D d;
             d.setDefaultButton(D::buttonSecond);
             d.setDefaultButton(D::buttonHelp);
             d.setCancelButton(D::buttonThird);
             d.setCancelButton(D::buttonHelp);
             return d;
         },
         {kAlertPlainAlert, "-", "-", "*", "-", "-", 1, 0, true, false},
         "help is neither a default (becomes first) nor a cancel button (becomes none)"},
        {[] {
             D d;
             d.setDefaultButton(D::buttonNone);
             d.setCancelButton(D::buttonSecond);
             return d;
         },
         {kAlertPlainAlert, "-", "-", "*", "-", "-", 1, 2, true, false},
         "no default button is refused as well"},
        {[] {
             D d;
             d.addHelpButton();
             return d;
         },
         {kAlertPlainAlert, "-", "-", "*", "-", "-", 1, 0, true, true},
         "help button shown"},
        {[] {
             D d;
             d.addSecondButton("Stop");
             d.addHelpButton();
             d.removeHelpButton();
             return d;
         },
         {kAlertPlainAlert, "-", "-", "*", "'Stop'", "-", 1, 0, true, false},
         "help button hidden again; the push buttons are untouched"},
        {[] {
             D d("old", "old");
             d.setMessage("");
             d.setDetail("new");
             return d;
         },
         {kAlertPlainAlert, "-", "'new'", "*", "-", "-", 1, 0, true, false},
         "setters replace the texts, the empty one included"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        AlertRecorder::reset();
        D dialog = c.make();
        EXPECT_EQ(dialog.show(), D::buttonFirst);
        ASSERT_EQ(AlertRecorder::calls.size(), 1u);
        expectCall(AlertRecorder::calls[0], c.want);
    }
}

TEST_F(aDialogBoxTest, LongTextsReachThePlatformAsTheConversionCutsThem) {
    aDialogBox dialog(std::string(300, 'm').c_str());
    dialog.show();
    ASSERT_EQ(AlertRecorder::calls.size(), 1u);
    EXPECT_EQ(AlertRecorder::calls[0].error.value, std::string(255, 'm'));
}

TEST_F(aDialogBoxTest, ShowReturnsThePressedButton) {
    struct Case {
        SInt16 item;
        aDialogBox::DialogButton result;
        const char* why;
    };
    const Case cases[] = {
        {kAlertStdAlertOKButton, aDialogBox::buttonFirst, "first button"},
        {kAlertStdAlertCancelButton, aDialogBox::buttonSecond, "second button"},
        {kAlertStdAlertOtherButton, aDialogBox::buttonThird, "third button"},
        {kAlertStdAlertHelpButton, aDialogBox::buttonHelp, "help button"},
        {0, aDialogBox::buttonFirst, "an item number the alert never gives"},
    };
    aDialogBox dialog("M");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        AlertRecorder::itemHit = c.item;
        EXPECT_EQ(dialog.show(), c.result);
    }
}

// The texts of a failure thrown by show(); the file must be the dialog's own.
void expectThrown(aDialogBox& dialog, const std::string& description,
                  const std::string& condition) {
    try {
        dialog.show();
        ADD_FAILURE() << "show() returned";
    } catch (const aException& failure) {
        EXPECT_EQ(text(failure.getDescription()), description);
        EXPECT_EQ(text(failure.getCondition()), condition);
    }
}

TEST_F(aDialogBoxTest, UnknownTypeFromAConstructorIsRefusedBeforeAnythingIsShown) {
    aDialogBox dialog(static_cast<aDialogBox::DialogType>(7), "M", "X");
    dialog.addSecondButton("Stop");
    expectThrown(dialog, "aDialogBox.show(): Invalid dialog type.", "");
    EXPECT_TRUE(AlertRecorder::calls.empty());
}

TEST_F(aDialogBoxTest, PlatformFailureIsThrownAndTheDialogCanBeShownAgain) {
    const unsigned long long strings = aTestProbe::count<aString>();
    {
        // Every kind of text is made for this call, so the sanitizer build
        // sees any that is not released on the throwing path.
        aDialogBox dialog(aDialogBox::noteDialog, "M", "X");
        dialog.addFirstButton("A");
        dialog.addSecondButton("B");
        dialog.addThirdButton("C");
        AlertRecorder::result = -1;
        expectThrown(dialog, "aDialogBox.show(): OS error.", "dialogErr != noErr");
        ASSERT_EQ(AlertRecorder::calls.size(), 1u);

        AlertRecorder::result = noErr;
        AlertRecorder::itemHit = kAlertStdAlertOtherButton;
        EXPECT_EQ(dialog.show(), aDialogBox::buttonThird);
        ASSERT_EQ(AlertRecorder::calls.size(), 2u);
        expectCall(AlertRecorder::calls[1],
                   {kAlertNoteAlert, "'M'", "'X'", "'A'", "'B'", "'C'", 1, 0, true, false});
    }
    EXPECT_EQ(aTestProbe::count<aString>(), strings);
}

TEST_F(aDialogBoxTest, DialogsAndTheirFiveStringsAreCounted) {
    const unsigned long long dialogs = aTestProbe::count<aDialogBox>();
    const unsigned long long strings = aTestProbe::count<aString>();
    const unsigned long long live = aTestProbe::liveObjects();
    {
        aDialogBox dialog(aDialogBox::stopDialog, "M", "X");
        EXPECT_EQ(aTestProbe::count<aDialogBox>(), dialogs + 1);
        EXPECT_EQ(aTestProbe::count<aString>(), strings + 5);
        EXPECT_EQ(aTestProbe::liveObjects(), live + 6);
        aDialogBox copy(dialog);
        EXPECT_EQ(aTestProbe::count<aDialogBox>(), dialogs + 2);
        EXPECT_NE(aTestProbe::id(copy), aTestProbe::id(dialog));
        copy.show();
        expectCall(AlertRecorder::calls.at(0),
                   {kAlertStopAlert, "'M'", "'X'", "*", "-", "-", 1, 0, true, false});
    }
    EXPECT_EQ(aTestProbe::count<aDialogBox>(), dialogs);
    EXPECT_EQ(aTestProbe::count<aString>(), strings);
    EXPECT_EQ(aTestProbe::liveObjects(), live);
}

} // namespace
