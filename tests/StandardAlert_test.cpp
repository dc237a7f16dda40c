// The real StandardAlert, run against fake alert programs on a temporary PATH:
// each fake records the arguments it was given and exits with a chosen
// status (and output), so that the argument vectors and the mapping of the
// pressed button back to an item number can be checked without a display.
#include "PlatformAlert.h"
#include "aDialogBox.h"
#include "aException.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

typedef std::vector<std::string> Args;

// Saves an environment variable and puts it back when the test ends.
class SavedVariable {
public:
    explicit SavedVariable(const char* name) : name(name) {
        if (const char* v = std::getenv(name))
            value = v;
    }
    ~SavedVariable() {
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }

private:
    const char* name;
    std::optional<std::string> value;
};

class StandardAlertTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/lumora-alert-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        record = dir + "/record";
        setenv("PATH", (dir + "/bin").c_str(), 1);
        ASSERT_EQ(mkdir((dir + "/bin").c_str(), 0700), 0);
        setenv("DISPLAY", ":77", 1);
        unsetenv("WAYLAND_DISPLAY");
        setenv("FAKE_ALERT_RECORD", record.c_str(), 1);
        answer(0);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // A fake alert program called `name`: records its arguments, NUL after
    // each, prints FAKE_ALERT_OUTPUT (if set) and exits with FAKE_ALERT_STATUS.
    void install(const std::string& name, mode_t mode = 0755) {
        std::string path = dir + "/bin/" + name;
        std::ofstream script(path);
        script << "#!/bin/sh\n"
                  "printf '%s\\0' \"$@\" > \"$FAKE_ALERT_RECORD\"\n"
                  "[ -n \"$FAKE_ALERT_OUTPUT\" ] && printf '%s\\n' \"$FAKE_ALERT_OUTPUT\"\n"
                  "exit \"$FAKE_ALERT_STATUS\"\n";
        script.close();
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
    }

    void answer(int status, const char* output = "") {
        setenv("FAKE_ALERT_STATUS", std::to_string(status).c_str(), 1);
        setenv("FAKE_ALERT_OUTPUT", output, 1);
    }

    // The arguments the fake received (after argv[0]), or nullopt if it never ran.
    std::optional<Args> received() {
        std::ifstream in(record, std::ios::binary);
        if (!in)
            return std::nullopt;
        std::stringstream all;
        all << in.rdbuf();
        Args args;
        std::string text = all.str();
        std::size_t start = 0, end;
        while ((end = text.find('\0', start)) != std::string::npos) {
            args.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        unlink(record.c_str());
        return args;
    }

    std::string dir;
    std::string record;
    SavedVariable savedPath{"PATH"}, savedDisplay{"DISPLAY"}, savedWayland{"WAYLAND_DISPLAY"},
        savedRecord{"FAKE_ALERT_RECORD"}, savedStatus{"FAKE_ALERT_STATUS"},
        savedOutput{"FAKE_ALERT_OUTPUT"};
};

// Pascal strings for the calls.
struct Pascal {
    explicit Pascal(const std::string& s) : bytes(s.size() + 1) {
        bytes[0] = static_cast<unsigned char>(s.size());
        for (std::size_t i = 0; i < s.size(); i++)
            bytes[i + 1] = static_cast<unsigned char>(s[i]);
    }
    ConstStr255Param get() const { return bytes.data(); }
    std::vector<unsigned char> bytes;
};

const Pascal continueTitle("Continue"), stopTitle("Stop"), reportTitle("Report Bug");

// The settings of the library's exception report.
AlertStdAlertParamRec reportParams() {
    AlertStdAlertParamRec p = {};
    p.defaultText = continueTitle.get();
    p.cancelText = stopTitle.get();
    p.otherText = reportTitle.get();
    p.defaultButton = 1;
    p.cancelButton = 2;
    return p;
}

AlertStdAlertParamRec okOnly() {
    AlertStdAlertParamRec p = {};
    p.movable = true;
    p.defaultText = kAlertDefaultOKText;
    p.defaultButton = 1;
    return p;
}

const Pascal message("Exception Thrown");
const Pascal detail("Description: a\rFile: b.cpp\rLine: 3");

TEST_F(StandardAlertTest, WithoutADisplayNothingRunsAndAnErrorComesBack) {
    install("xmessage");
    unsetenv("DISPLAY");
    AlertStdAlertParamRec p = okOnly();
    SInt16 item = 99;
    EXPECT_NE(StandardAlert(kAlertStopAlert, message.get(), nullptr, &p, &item), noErr);
    EXPECT_EQ(item, 99);
    EXPECT_FALSE(received()) << "no program may run without a display";

    setenv("DISPLAY", "", 1);
    EXPECT_NE(StandardAlert(kAlertStopAlert, message.get(), nullptr, &p, &item), noErr);
    EXPECT_FALSE(received()) << "an empty DISPLAY names no display";

    setenv("WAYLAND_DISPLAY", "wayland-0", 1);
    answer(101);
    EXPECT_EQ(StandardAlert(kAlertStopAlert, message.get(), nullptr, &p, &item), noErr);
    EXPECT_TRUE(received()) << "a Wayland display is a display";
}

TEST_F(StandardAlertTest, NoAlertProgramOrAFailingOneIsAnError) {
    AlertStdAlertParamRec p = okOnly();
    SInt16 item = 99;
    EXPECT_NE(StandardAlert(kAlertNoteAlert, message.get(), nullptr, &p, &item), noErr);
    install("zenity", 0644); // not executable: passed over
    EXPECT_NE(StandardAlert(kAlertNoteAlert, message.get(), nullptr, &p, &item), noErr);
    EXPECT_FALSE(received());

    install("xmessage");
    answer(1); // xmessage's own failure, e.g. the display cannot be opened
    EXPECT_NE(StandardAlert(kAlertNoteAlert, message.get(), nullptr, &p, &item), noErr);
    EXPECT_TRUE(received());
    EXPECT_EQ(item, 99);
}

TEST_F(StandardAlertTest, TheFirstProgramInOrderOfPreferenceIsUsed) {
    install("xmessage");
    install("kdialog");
    AlertStdAlertParamRec p = okOnly();
    SInt16 item = 0;
    ASSERT_EQ(StandardAlert(kAlertNoteAlert, message.get(), nullptr, &p, &item), noErr);
    std::optional<Args> args = received();
    ASSERT_TRUE(args);
    EXPECT_EQ(args->at(0), "--title") << "kdialog comes before xmessage";
    install("zenity");
    ASSERT_EQ(StandardAlert(kAlertNoteAlert, message.get(), nullptr, &p, &item), noErr);
    args = received();
    ASSERT_TRUE(args);
    EXPECT_EQ(args->at(0), "--info") << "zenity comes first";
}

TEST_F(StandardAlertTest, XmessageGetsEveryTextAsItsOwnArgument) {
    install("xmessage");
    struct Case {
        AlertType type;
        const Pascal* error;
        const Pascal* explanation;
        AlertStdAlertParamRec params;
        Args want;
        const char* why;
    };
    const Pascal dash("-display :0 -fn x");
    const Pascal shellish("$(touch /tmp/x); `id` 'q' \"d\" | >");
    AlertStdAlertParamRec full = okOnly();
    full.cancelText = kAlertDefaultCancelText;
    full.otherText = kAlertDefaultOtherText;
    full.helpButton = true;
    full.defaultButton = 2;
    const Pascal comma("Yes, please: now");
    AlertStdAlertParamRec punctuated = okOnly();
    punctuated.defaultText = comma.get();
    const Pascal empty("");
    AlertStdAlertParamRec emptyTitle = okOnly();
    emptyTitle.defaultText = empty.get();
    const Pascal withNul(std::string("a\0b", 3));
    const Pascal crlf("x\r\ny\rz");
    const Case cases[] = {
        {kAlertStopAlert,
         &message,
         &detail,
         reportParams(),
         {"-center", "-title", "Error", "-buttons", "Report Bug:103,Stop:102,Continue:101",
          "-default", "Continue", "Exception Thrown\n\nDescription: a\nFile: b.cpp\nLine: 3"},
         "the exception report: right to left first, second, third; CR becomes LF"},
        {kAlertPlainAlert,
         nullptr,
         nullptr,
         okOnly(),
         {"-center", "-title", "Alert", "-buttons", "OK:101", "-default", "OK", ""},
         "no texts, the standard OK button"},
        {kAlertNoteAlert,
         nullptr,
         &detail,
         full,
         {"-center", "-title", "Information", "-buttons",
          "Help:104,Don't Save:103,Cancel:102,OK:101", "-default", "Cancel",
          "Description: a\nFile: b.cpp\nLine: 3"},
         "standard titles of every button, help at the left, second as default"},
        {kAlertCautionAlert,
         &dash,
         nullptr,
         okOnly(),
         {"-center", "-title", "Warning", "-buttons", "OK:101", "-default", "OK",
          " -display :0 -fn x"},
         "a text that looks like toolkit options cannot be taken for them"},
        {kAlertNoteAlert,
         &shellish,
         nullptr,
         punctuated,
         {"-center", "-title", "Information", "-buttons", "Yes  please  now:101", "-default",
          "Yes  please  now", "$(touch /tmp/x); `id` 'q' \"d\" | >"},
         "shell characters arrive verbatim; list separators leave titles"},
        {kAlertNoteAlert,
         &withNul,
         &crlf,
         okOnly(),
         {"-center", "-title", "Information", "-buttons", "OK:101", "-default", "OK",
          "a b\n\nx\ny\nz"},
         "a NUL cannot cut the argument short; CR LF is one line end"},
        {kAlertNoteAlert,
         &message,
         nullptr,
         emptyTitle,
         {"-center", "-title", "Information", "-buttons", ":101", "-default", "",
          "Exception Thrown"},
         "an empty custom title is an empty button, never the standard one"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        answer(101);
        SInt16 item = 0;
        EXPECT_EQ(StandardAlert(c.type, c.error ? c.error->get() : nullptr,
                                c.explanation ? c.explanation->get() : nullptr, &c.params, &item),
                  noErr);
        EXPECT_EQ(received(), c.want);
    }
}

TEST_F(StandardAlertTest, ANullRecordAsksForOneStandardButton) {
    install("xmessage");
    answer(101);
    EXPECT_EQ(StandardAlert(kAlertNoteAlert, message.get(), nullptr, nullptr, nullptr), noErr);
    EXPECT_EQ(received(), (Args{"-center", "-title", "Information", "-buttons", "OK:101",
                                "-default", "OK", "Exception Thrown"}));
}

TEST_F(StandardAlertTest, AnAlertWithoutButtonsCanStillBeDismissed) {
    install("xmessage");
    answer(0); // xmessage's own button
    AlertStdAlertParamRec none = {};
    none.defaultButton = 1;
    SInt16 item = 0;
    EXPECT_EQ(StandardAlert(kAlertNoteAlert, message.get(), nullptr, &none, &item), noErr);
    EXPECT_EQ(received(), (Args{"-center", "-title", "Information", "Exception Thrown"}));
    EXPECT_EQ(item, 1) << "reported as the default button";
}

TEST_F(StandardAlertTest, XmessageExitStatusGivesTheItem) {
    install("xmessage");
    struct Case {
        int status;
        OSErr result; // noErr or any failure (-1 here)
        SInt16 item;
        const char* why;
    };
    const Case cases[] = {
        {101, noErr, 1, "first button"},
        {102, noErr, 2, "second button"},
        {103, noErr, 3, "third button"},
        {104, noErr, 4, "help button"},
        {0, noErr, 2, "closed: the cancel button"},
        {1, -1, 0, "xmessage's own failure"},
        {105, -1, 0, "no such button"},
        {255, -1, 0, "unknown status"},
    };
    AlertStdAlertParamRec p = reportParams();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        answer(c.status);
        SInt16 item = 0;
        OSErr result = StandardAlert(kAlertStopAlert, message.get(), nullptr, &p, &item);
        EXPECT_EQ(result == noErr, c.result == noErr) << result;
        EXPECT_EQ(item, c.item);
    }
}

TEST_F(StandardAlertTest, ZenityArgumentsAndButtons) {
    install("zenity");
    AlertStdAlertParamRec report = reportParams();
    report.helpButton = true;
    SInt16 item = 0;
    ASSERT_EQ(StandardAlert(kAlertStopAlert, message.get(), detail.get(), &report, &item), noErr);
    EXPECT_EQ(received(),
              (Args{"--question", "--cancel-label=Stop", "--title=Error", "--no-markup",
                    "--text=Exception Thrown\n\nDescription: a\nFile: b.cpp\nLine: 3",
                    "--ok-label=Continue", "--extra-button=Report Bug", "--extra-button=Help"}));

    AlertStdAlertParamRec ok = okOnly();
    ASSERT_EQ(StandardAlert(kAlertCautionAlert, message.get(), nullptr, &ok, &item), noErr);
    EXPECT_EQ(received(), (Args{"--warning", "--title=Warning", "--no-markup",
                                "--text=Exception Thrown", "--ok-label=OK"}));

    struct Case {
        int status;
        const char* output;
        bool ok;
        SInt16 item;
        const char* why;
    };
    const Case cases[] = {
        {0, "", true, 1, "the OK label"},
        {1, "", true, 2, "the cancel label, or the window closed"},
        {1, "Report Bug", true, 3, "an extra button names itself"},
        {1, "Help", true, 4, "the help button is an extra button"},
        {5, "", false, 0, "a timeout or other status is a failure"},
        {255, "", false, 0, "zenity's own failure"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        answer(c.status, c.output);
        item = 0;
        EXPECT_EQ(StandardAlert(kAlertStopAlert, message.get(), nullptr, &report, &item) == noErr,
                  c.ok);
        EXPECT_EQ(item, c.item);
    }
}

TEST_F(StandardAlertTest, KdialogArgumentsAndButtons) {
    install("kdialog");
    AlertStdAlertParamRec report = reportParams();
    SInt16 item = 0;
    ASSERT_EQ(StandardAlert(kAlertStopAlert, message.get(), nullptr, &report, &item), noErr);
    EXPECT_EQ(received(),
              (Args{"--title", "Error", "--warningyesnocancel", "Exception Thrown", "--yes-label",
                    "Continue", "--no-label", "Report Bug", "--cancel-label", "Stop"}));
    struct Case {
        int status;
        bool ok;
        SInt16 item;
        const char* why;
    };
    const Case cases[] = {
        {0, true, 1, "yes is the first button"},
        {1, true, 3, "no is the third button"},
        {2, true, 2, "cancel is the second button"},
        {254, false, 0, "kdialog's own failure"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        answer(c.status);
        item = 0;
        EXPECT_EQ(StandardAlert(kAlertStopAlert, message.get(), nullptr, &report, &item) == noErr,
                  c.ok);
        EXPECT_EQ(item, c.item);
    }

    AlertStdAlertParamRec ok = okOnly();
    answer(0);
    ASSERT_EQ(StandardAlert(kAlertNoteAlert, nullptr, detail.get(), &ok, &item), noErr);
    EXPECT_EQ(received(), (Args{"--title", "Information", "--msgbox",
                                "Description: a\nFile: b.cpp\nLine: 3", "--ok-label", "OK"}));
}

TEST_F(StandardAlertTest, TheExceptionReportWithoutADisplayThrowsTheOsError) {
    install("xmessage");
    unsetenv("DISPLAY");
    aException record("aThing.do(): Failed.", "P", 1);
    try {
        record.showDialogBox();
        FAIL() << "no exception";
    } catch (const aException& failure) {
        aString description = failure.getDescription();
        aString condition = failure.getCondition();
        EXPECT_EQ(std::string(description.getValue(), description.getLength()),
                  "aDialogBox.show(): OS error.");
        EXPECT_EQ(std::string(condition.getValue(), condition.getLength()), "dialogErr != noErr");
    }
    EXPECT_FALSE(received());
}

TEST_F(StandardAlertTest, TheExceptionReportThroughAnAlertProgramReturnsNormally) {
    install("xmessage");
    answer(103); // "Report Bug"
    aException record("aThing.do(): Failed.", "P", 1);
    EXPECT_NO_THROW(record.showDialogBox());
    std::optional<Args> args = received();
    ASSERT_TRUE(args);
    EXPECT_EQ(args->back(),
              "Exception Thrown\n\nDescription: aThing.do(): Failed.\nFile: P\nLine: 1");
}

} // namespace
