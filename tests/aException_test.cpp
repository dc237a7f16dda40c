// The exception record: its constructors, accessors, accounting, and the
// report it shows through the (recorded) platform alert.
#include "AlertRecorder.h"
#include "TestProbe.h"
#include "aDialogBox.h"
#include "aException.h"

#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <type_traits>

namespace {

static_assert(!std::is_base_of_v<std::exception, aException>,
              "the record is thrown as itself, not as a standard exception");

std::string text(const aString& s) {
    return std::string(s.getValue(), s.getLength());
}

class aExceptionTest : public ::testing::Test {
protected:
    void SetUp() override { AlertRecorder::reset(); }

    // The detail text that showDialogBox passes for `record`, or "<none>".
    static std::string reportedDetail(const aException& record) {
        AlertRecorder::reset();
        record.showDialogBox();
        EXPECT_EQ(AlertRecorder::calls.size(), 1u);
        if (AlertRecorder::calls.empty())
            return "<no call>";
        const RecordedText& detail = AlertRecorder::calls[0].explanation;
        return detail.isNone() ? "<none>" : detail.value;
    }
};

TEST_F(aExceptionTest, ConstructorsStoreTheirArgumentsAndReportTheDetailText) {
    struct Case {
        aException record;
        std::string description;
        std::string condition;
        std::string detail;
        const char* why;
    };
    const Case cases[] = {
        {aException(), "", "", "<none>", "no fields: no explanation at all"},
        {aException("D"), "D", "", "Description: D", "description alone, no line end after it"},
        {aException("D", "C"), "D", "C", "Description: D\rCondition: C",
         "two strings are a description and a condition"},
        {aException("P", 42), "", "", "File: P\rLine: 42",
         "a string and an int are a source file and a line"},
        {aException("D", "P", 42), "D", "", "Description: D\rFile: P\rLine: 42",
         "description and throw site, no condition"},
        {aException("D", "C", "P", 42), "D", "C", "Description: D\rCondition: C\rFile: P\rLine: 42",
         "every field, single line ends between parts"},
        {aException("", "C"), "", "C", "Condition: C", "no line end before a leading condition"},
        {aException("D", "", "P", -7), "D", "", "Description: D\rFile: P\rLine: -7",
         "an empty condition is left out; negative lines keep their sign"},
        {aException("", 0), "", "", "File: \rLine: 0",
         "a throw site is reported even when its fields are empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(text(c.record.getDescription()), c.description);
        EXPECT_EQ(text(c.record.getCondition()), c.condition);
        EXPECT_EQ(reportedDetail(c.record), c.detail);
    }
}

TEST_F(aExceptionTest, AccessorsReturnCopies) {
    aException record("D", "C");
    aString description = record.getDescription();
    description += "changed";
    aString condition = record.getCondition();
    condition[0] = 'X';
    EXPECT_EQ(text(record.getDescription()), "D");
    EXPECT_EQ(text(record.getCondition()), "C");
}

TEST_F(aExceptionTest, ConstructionCountsTheRecordAndItsThreeStrings) {
    const unsigned long long exceptions = aTestProbe::count<aException>();
    const unsigned long long strings = aTestProbe::count<aString>();
    const unsigned long long live = aTestProbe::liveObjects();
    const unsigned long long lastId = aTestProbe::idsHandedOut();
    {
        aException record;
        EXPECT_EQ(aTestProbe::count<aException>(), exceptions + 1);
        EXPECT_EQ(aTestProbe::count<aString>(), strings + 3);
        EXPECT_EQ(aTestProbe::liveObjects(), live + 4);
        EXPECT_EQ(aTestProbe::id(record), lastId + 1) << "the record's base comes first";
        EXPECT_EQ(aTestProbe::idsHandedOut(), lastId + 4) << "then its three strings";
    }
    EXPECT_EQ(aTestProbe::count<aException>(), exceptions);
    EXPECT_EQ(aTestProbe::count<aString>(), strings);
    EXPECT_EQ(aTestProbe::liveObjects(), live);
    EXPECT_EQ(aTestProbe::idsHandedOut(), lastId + 4) << "destruction hands out nothing";
}

TEST_F(aExceptionTest, CopiesAreNewCountedRecordsWithTheSameFields) {
    const unsigned long long exceptions = aTestProbe::count<aException>();
    aException original("D", "C", "P", 42);
    {
        aException copy(original);
        EXPECT_EQ(aTestProbe::count<aException>(), exceptions + 2);
        EXPECT_NE(aTestProbe::id(copy), aTestProbe::id(original));
        EXPECT_EQ(reportedDetail(copy), reportedDetail(original));
    }
    EXPECT_EQ(aTestProbe::count<aException>(), exceptions + 1);
}

TEST_F(aExceptionTest, ThrownByValueAndReleasedWhenHandlingEnds) {
    const unsigned long long exceptions = aTestProbe::count<aException>();
    const unsigned long long live = aTestProbe::liveObjects();
    int throwLine = 0;
    try {
        throwLine = __LINE__ + 1;
        throw aException("aThing.do(): Failed.", "fileErr != noErr", __FILE__, __LINE__);
    } catch (const aException& caught) {
        EXPECT_EQ(text(caught.getDescription()), "aThing.do(): Failed.");
        EXPECT_EQ(text(caught.getCondition()), "fileErr != noErr");
        EXPECT_EQ(reportedDetail(caught),
                  "Description: aThing.do(): Failed.\rCondition: fileErr != noErr\rFile: " +
                      std::string(__FILE__) + "\rLine: " + std::to_string(throwLine));
    }
    EXPECT_EQ(aTestProbe::count<aException>(), exceptions);
    EXPECT_EQ(aTestProbe::liveObjects(), live);
}

TEST_F(aExceptionTest, ReportIsAFixedStopAlertWithThreeCustomButtons) {
    aException record("D", "C", "P", 42);
    record.showDialogBox();
    ASSERT_EQ(AlertRecorder::calls.size(), 1u);
    const RecordedAlert& call = AlertRecorder::calls[0];
    EXPECT_EQ(call.alertType, kAlertStopAlert);
    EXPECT_TRUE(call.error.is("Exception Thrown"));
    EXPECT_TRUE(call.explanation.is("Description: D\rCondition: C\rFile: P\rLine: 42"));
    ASSERT_TRUE(call.hadParam);
    EXPECT_FALSE(call.movable);
    EXPECT_FALSE(call.helpButton);
    EXPECT_EQ(call.filterProc, nullptr);
    EXPECT_TRUE(call.defaultText.is("Continue"));
    EXPECT_TRUE(call.cancelText.is("Stop"));
    EXPECT_TRUE(call.otherText.is("Report Bug"));
    EXPECT_EQ(call.defaultButton, 1);
    EXPECT_EQ(call.cancelButton, 2);
    EXPECT_EQ(call.position, 0);
}

TEST_F(aExceptionTest, EveryButtonReturnsFromTheReportAlike) {
    aException record("D");
    for (SInt16 item :
         {kAlertStdAlertOKButton, kAlertStdAlertCancelButton, kAlertStdAlertOtherButton}) {
        AlertRecorder::itemHit = item;
        EXPECT_NO_THROW(record.showDialogBox()) << "item " << item;
    }
    EXPECT_EQ(AlertRecorder::calls.size(), 3u);
    EXPECT_EQ(text(record.getDescription()), "D") << "showing changes nothing";
}

TEST_F(aExceptionTest, PlatformFailureIsThrownAndEverythingMadeIsReleased) {
    aException record("D", "C", "P", 42);
    const unsigned long long dialogs = aTestProbe::count<aDialogBox>();
    const unsigned long long strings = aTestProbe::count<aString>();
    AlertRecorder::result = -1;
    try {
        record.showDialogBox();
        FAIL() << "no exception";
    } catch (const aException& failure) {
        EXPECT_EQ(text(failure.getDescription()), "aDialogBox.show(): OS error.");
        EXPECT_EQ(text(failure.getCondition()), "dialogErr != noErr");
        EXPECT_EQ(aTestProbe::count<aDialogBox>(), dialogs);
        EXPECT_EQ(aTestProbe::count<aString>(), strings + 3) << "only the caught record's strings";
    }
    EXPECT_EQ(aTestProbe::count<aString>(), strings);
    EXPECT_EQ(text(record.getDescription()), "D");
    EXPECT_EQ(text(record.getCondition()), "C");
}

} // namespace
