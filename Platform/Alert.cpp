// Standard alerts through the desktop's alert program.
//
// The first of zenity, kdialog and xmessage found on PATH shows the alert.
// It is started with posix_spawn and an argument vector (never a shell), with
// every text in an argument of its own; its standard output is read (zenity
// names an extra button there) and its exit status says which button was
// pressed. Pascal strings are taken as UTF-8 text; a carriage return (the
// library's line end) becomes a line feed. The alert programs place the alert
// themselves and cannot pin it, so the movable flag and the position are not
// passed on.
//
// Standard titles (the -1 marker): "OK" for the first button, "Cancel" for the
// second, "Don't Save" for the third (the usual third choice of an alert that
// asks to save), and "Help" for the help button.
//
// Only StandardAlert lives in this file (its helpers are private to it), so
// that a test can link its own StandardAlert in place of this one.
#include "PlatformAlert.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// One push button of the alert, as the alert program is to show it.
struct Button {
    SInt16 item; // 1 first, 2 second, 3 third, 4 help
    bool shown;
    std::string title;
};

// What StandardAlert was asked for, in the programs' terms.
struct Request {
    AlertType type;
    std::string title; // the window title
    std::string text;  // message and explanation, separated by a blank line
    Button first, second, third, help;
    SInt16 defaultItem;
    SInt16 cancelItem; // 0: none
};

// The text of a Pascal string, with CR and CR LF turned into LF. A NUL byte
// would end the program's argument early and hide the rest of the text, so it
// becomes a space.
std::string textOf(ConstStr255Param p) {
    std::string text;
    if (p == nullptr)
        return text;
    for (unsigned i = 1; i <= p[0]; i++) {
        char c = static_cast<char>(p[i]);
        if (c == '\r') {
            text += '\n';
            if (i < p[0] && p[i + 1] == '\n')
                i++;
        } else {
            text += c == '\0' ? ' ' : c;
        }
    }
    return text;
}

Button buttonOf(SInt16 item, ConstStr255Param title, const char* standardTitle) {
    if (title == nullptr)
        return {item, false, ""};
    if (title == kAlertDefaultOKText)
        return {item, true, standardTitle};
    return {item, true, textOf(title)};
}

Request requestOf(AlertType type, ConstStr255Param error, ConstStr255Param explanation,
                  const AlertStdAlertParamRec* param) {
    Request r;
    r.type = type;
    switch (type) {
    case kAlertStopAlert:
        r.title = "Error";
        break;
    case kAlertNoteAlert:
        r.title = "Information";
        break;
    case kAlertCautionAlert:
        r.title = "Warning";
        break;
    default:
        r.title = "Alert";
    }
    r.text = textOf(error);
    std::string more = textOf(explanation);
    if (!r.text.empty() && !more.empty())
        r.text += "\n\n";
    r.text += more;

    // A missing record asks for the defaults: one standard OK button.
    AlertStdAlertParamRec defaults = {};
    defaults.defaultText = kAlertDefaultOKText;
    defaults.defaultButton = kAlertStdAlertOKButton;
    if (param == nullptr)
        param = &defaults;
    r.first = buttonOf(kAlertStdAlertOKButton, param->defaultText, "OK");
    r.second = buttonOf(kAlertStdAlertCancelButton, param->cancelText, "Cancel");
    r.third = buttonOf(kAlertStdAlertOtherButton, param->otherText, "Don't Save");
    r.help = {kAlertStdAlertHelpButton, param->helpButton != 0, "Help"};
    r.defaultItem = param->defaultButton;
    r.cancelItem = param->cancelButton;
    return r;
}

// The item reported when the alert was closed without a button (Escape, or
// the window's close box): the cancel button's, otherwise the default one's.
SInt16 closedItem(const Request& r) {
    return r.cancelItem != 0 ? r.cancelItem : r.defaultItem;
}

// A program's run: its exit status (or -1 when it did not exit normally) and
// the first line it wrote to standard output.
struct Outcome {
    int status;
    std::string firstLine;
};

// Runs path with argv, standard input and error on /dev/null, standard
// output read into the outcome; waits for it. False when it cannot start.
bool run(const std::string& path, const std::vector<std::string>& args, Outcome& outcome) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return false;
    }

    std::string output;
    char buffer[4096];
    for (;;) {
        ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n > 0)
            output.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(out[0]);

    int status = 0;
    pid_t waited;
    do
        waited = waitpid(pid, &status, 0);
    while (waited < 0 && errno == EINTR);
    if (waited != pid)
        return false;
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.firstLine = output.substr(0, output.find('\n'));
    return true;
}

// The full path of the first executable regular file `name` on PATH, or "".
// Empty PATH entries (the current folder) are not searched.
std::string findOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        start = end + 1;
        if (dir.empty())
            continue;
        std::string candidate = dir + "/" + name;
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "";
}

// zenity: a message dialog for a lone first button, a question dialog when a
// second button is shown (its labels are the first and second titles); the
// third and help buttons are extra buttons, which zenity names on standard
// output as it exits with status 1.
std::vector<std::string> zenityArgs(const Request& r) {
    std::vector<std::string> a = {"zenity"};
    if (r.second.shown) {
        a.push_back("--question");
        a.push_back("--cancel-label=" + r.second.title);
        if (r.defaultItem == kAlertStdAlertCancelButton)
            a.push_back("--default-cancel");
    } else if (r.type == kAlertStopAlert) {
        a.push_back("--error");
    } else if (r.type == kAlertCautionAlert) {
        a.push_back("--warning");
    } else {
        a.push_back("--info");
    }
    a.push_back("--title=" + r.title);
    a.push_back("--no-markup");
    a.push_back("--text=" + r.text);
    if (r.first.shown)
        a.push_back("--ok-label=" + r.first.title);
    if (r.third.shown)
        a.push_back("--extra-button=" + r.third.title);
    if (r.help.shown)
        a.push_back("--extra-button=" + r.help.title);
    return a;
}

bool zenityItem(const Request& r, const Outcome& o, SInt16& item) {
    if (o.status == 0) {
        item = kAlertStdAlertOKButton;
        return true;
    }
    if (o.status != 1)
        return false;
    if (r.third.shown && o.firstLine == r.third.title)
        item = kAlertStdAlertOtherButton;
    else if (r.help.shown && o.firstLine == r.help.title)
        item = kAlertStdAlertHelpButton;
    else if (r.second.shown && o.firstLine.empty())
        item = kAlertStdAlertCancelButton;
    else
        item = closedItem(r);
    return true;
}

// kdialog: a message box for a lone first button; otherwise a yes/no (or
// yes/no/cancel) box whose yes is the first button, whose cancel is the
// second, and whose no is the third (or the second when there is no third).
// kdialog has no help button.
std::vector<std::string> kdialogArgs(const Request& r) {
    std::vector<std::string> a = {"kdialog", "--title", r.title};
    bool warning = r.type == kAlertStopAlert || r.type == kAlertCautionAlert;
    if (r.second.shown && r.third.shown) {
        a.push_back(warning ? "--warningyesnocancel" : "--yesnocancel");
        a.push_back(r.text);
        a.push_back("--yes-label");
        a.push_back(r.first.title);
        a.push_back("--no-label");
        a.push_back(r.third.title);
        a.push_back("--cancel-label");
        a.push_back(r.second.title);
    } else if (r.second.shown || r.third.shown) {
        a.push_back(warning ? "--warningyesno" : "--yesno");
        a.push_back(r.text);
        a.push_back("--yes-label");
        a.push_back(r.first.title);
        a.push_back("--no-label");
        a.push_back(r.second.shown ? r.second.title : r.third.title);
    } else {
        a.push_back(r.type == kAlertStopAlert      ? "--error"
                    : r.type == kAlertCautionAlert ? "--sorry"
                                                   : "--msgbox");
        a.push_back(r.text);
        if (r.first.shown) {
            a.push_back("--ok-label");
            a.push_back(r.first.title);
        }
    }
    return a;
}

bool kdialogItem(const Request& r, const Outcome& o, SInt16& item) {
    if (o.status == 0) { // yes
        item = kAlertStdAlertOKButton;
    } else if (o.status == 1 && r.third.shown) { // no: the third button
        item = kAlertStdAlertOtherButton;
    } else if (o.status == 1 && r.second.shown) { // no: the second, without a third
        item = kAlertStdAlertCancelButton;
    } else if (o.status == 2 && r.second.shown) { // cancel
        item = kAlertStdAlertCancelButton;
    } else if (o.status == 1 || o.status == 2) { // closed
        item = closedItem(r);
    } else {
        return false;
    }
    return true;
}

// xmessage: buttons laid out left to right as help, third, second, first,
// each exiting with 100 plus its item number (xmessage itself exits with 1 on
// failure). Commas and colons separate xmessage's button list, so they
// become spaces in titles.
const int xmessageBase = 100;

std::string xmessageTitle(std::string title) {
    for (char& c : title)
        if (c == ',' || c == ':')
            c = ' ';
    return title;
}

std::vector<std::string> xmessageArgs(const Request& r) {
    std::vector<std::string> a = {"xmessage", "-center", "-title", r.title};
    std::string list;
    const std::string* defaultTitle = nullptr;
    std::string titles[4];
    for (const Button* b : {&r.help, &r.third, &r.second, &r.first}) {
        if (!b->shown)
            continue;
        std::string& title = titles[b->item - 1];
        title = xmessageTitle(b->title);
        if (!list.empty())
            list += ",";
        list += title + ":" + std::to_string(xmessageBase + b->item);
        if (b->item == r.defaultItem)
            defaultTitle = &title;
    }
    // With no button at all the alert could never be dismissed: xmessage's
    // own button (exit status 0) is kept then.
    if (!list.empty()) {
        a.push_back("-buttons");
        a.push_back(list);
    }
    if (defaultTitle != nullptr) {
        a.push_back("-default");
        a.push_back(*defaultTitle);
    }
    // The message is the last argument. The toolkit takes arguments that look
    // like its options wherever they stand, so such a text gets a leading
    // space.
    std::string text = r.text;
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        text.insert(0, " ");
    a.push_back(text);
    return a;
}

bool xmessageItem(const Request& r, const Outcome& o, SInt16& item) {
    if (o.status > xmessageBase && o.status <= xmessageBase + kAlertStdAlertHelpButton) {
        item = static_cast<SInt16>(o.status - xmessageBase);
        return true;
    }
    if (o.status == 0) { // the window was closed by the window manager
        item = closedItem(r);
        return true;
    }
    return false;
}

struct AlertProgram {
    const char* name;
    std::vector<std::string> (*args)(const Request&);
    bool (*item)(const Request&, const Outcome&, SInt16&);
};

const AlertProgram programs[] = {
    {"zenity", zenityArgs, zenityItem},
    {"kdialog", kdialogArgs, kdialogItem},
    {"xmessage", xmessageArgs, xmessageItem},
};

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

} // namespace

// Relies on: DISPLAY or WAYLAND_DISPLAY, an alert program on PATH, and its
// exit status. Returns noErr with the pressed item in *outItemHit, or
// kAlertNoDisplayErr, kAlertNoProgramErr, kAlertProgramErr (nothing shown,
// *outItemHit untouched).
OSErr StandardAlert(AlertType inAlertType, ConstStr255Param inError, ConstStr255Param inExplanation,
                    const AlertStdAlertParamRec* inAlertParam, SInt16* outItemHit) {
    if (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY"))
        return kAlertNoDisplayErr;
    for (const AlertProgram& program : programs) {
        std::string path = findOnPath(program.name);
        if (path.empty())
            continue;
        Request request = requestOf(inAlertType, inError, inExplanation, inAlertParam);
        Outcome outcome;
        SInt16 item;
        if (!run(path, program.args(request), outcome) || !program.item(request, outcome, item))
            return kAlertProgramErr;
        if (outItemHit != nullptr)
            *outItemHit = item;
        return noErr;
    }
    return kAlertNoProgramErr;
}
