// qrvn remote: scripts drive a running window through its command channel on the session bus.

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace {

constexpr char kService[] = "org.quorvalen.Quorvalen";
constexpr char kPath[] = "/Workbench";
constexpr char kInterface[] = "org.quorvalen.Quorvalen";
constexpr int kExitToolFailed = 4;

const char* kRemoteHelp =
    "usage: qrvn remote ACTION [arguments]   (a running window, over the session bus)\n"
    "  open [--discard] PATH   open a waveform file and show it\n"
    "  save PATH TYPE [DESCRIPTION [AUTHOR]]\n"
    "                       save the waveform in file type TYPE (a SigMF recording takes\n"
    "                       its description and author from here)\n"
    "  command [--discard] ID [VALUE]\n"
    "                       run a menu command by id; prints its result (queries: the value)\n"
    "  tool STEP            run a tool step as qrvn edit takes it (NAME:KEY=VALUE,...)\n"
    "  measure              print the measurements of what the window shows, as JSON\n"
    "  render PNG [WxH]     write the window's picture (default 1600x1000)\n"
    "  markers              print the marker table of the plot shown, as JSON\n"
    "  marker N POSITION|off\n"
    "                       put marker N (1-4) at POSITION in the plot's unit (Hz on the\n"
    "                       spectrum and spectrogram, sample number on the time views, dB\n"
    "                       on the CCDF), or take it off\n"
    "The window refuses what would lose unsaved edits unless --discard is given, and\n"
    "anything while it is busy or a dialog is open; the reason is printed.\n"
    "exit status: 0 done, 2 bad arguments, no window or the window refused, 4 the tool failed\n";

bool ParseLong(const std::string& text, long long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 10);
    return !text.empty() && end && *end == '\0' && errno == 0;
}

}  // namespace

int RunRemote(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty() || args[0] == "--help") {
        (args.empty() ? err : out) << kRemoteHelp;
        return args.empty() ? kExitUsage : kExitOk;
    }
    const std::string& action = args[0];
    auto usage = [&](const std::string& text) {
        err << "qrvn remote: " << text << "\n";
        return kExitUsage;
    };
    // --discard right after the action: unsaved edits in the window may be lost.
    std::vector<std::string> rest(args.begin() + 1, args.end());
    const bool discard = !rest.empty() && rest[0] == "--discard";
    if (discard) rest.erase(rest.begin());
    if (discard && action != "open" && action != "command")
        return usage("--discard goes with open and command only");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return usage("no session bus");
    QDBusInterface window(kService, kPath, kInterface, bus);
    if (!window.isValid()) return usage("no Quorvalen window is listening on the session bus");
    // A tool on a long capture may take a while: wait as long as it runs.
    window.setTimeout(24 * 3600 * 1000);
    auto failed = [&](const QDBusError& e) { return usage(e.message().toStdString()); };

    if (action == "open" && rest.size() == 1) {
        const QDBusReply<bool> r = window.call("Open", QString::fromStdString(rest[0]), discard);
        if (!r.isValid()) return failed(r.error());
        if (!r.value()) return usage("the window did not open " + rest[0]);
        return kExitOk;
    }
    if (action == "save" && rest.size() >= 2 && rest.size() <= 4) {
        long long type;
        if (!ParseLong(rest[1], type) || type <= 0 || type > 2147483647)
            return usage("TYPE must be a file type id");
        const QString description = QString::fromStdString(rest.size() > 2 ? rest[2] : "");
        const QString author = QString::fromStdString(rest.size() > 3 ? rest[3] : "");
        const QDBusReply<bool> r = window.call("Save", QString::fromStdString(rest[0]),
                                               static_cast<int>(type), description, author);
        if (!r.isValid()) return failed(r.error());
        if (!r.value()) return usage("the window did not save " + rest[0]);
        return kExitOk;
    }
    if (action == "command" && (rest.size() == 1 || rest.size() == 2)) {
        long long id, value = 0;
        if (!ParseLong(rest[0], id) || id <= 0 || id > 65535) return usage("ID must be 1 .. 65535");
        if (rest.size() == 2 && !ParseLong(rest[1], value))
            return usage("VALUE must be a whole number");
        const QDBusReply<qlonglong> r =
            window.call("Command", static_cast<uint>(id), static_cast<qlonglong>(value), discard);
        if (!r.isValid()) return failed(r.error());
        out << r.value() << "\n";
        return kExitOk;
    }
    if (action == "tool" && rest.size() == 1) {
        // A step the window cannot parse is refused (exit 2, as qrvn edit); a tool that ran and
        // failed gives its code (exit 4).
        const QDBusReply<int> r = window.call("RunTool", QString::fromStdString(rest[0]));
        if (!r.isValid()) return failed(r.error());
        out << r.value() << "\n";
        return r.value() == 0 ? kExitOk : kExitToolFailed;
    }
    if (action == "measure" && rest.empty()) {
        const QDBusReply<QString> r = window.call("Measurements");
        if (!r.isValid()) return failed(r.error());
        out << r.value().toStdString();
        return kExitOk;
    }
    if (action == "markers" && rest.empty()) {
        const QDBusReply<QString> r = window.call("Markers");
        if (!r.isValid()) return failed(r.error());
        out << r.value().toStdString();
        return kExitOk;
    }
    if (action == "marker" && rest.size() == 2) {
        long long n;
        if (!ParseLong(rest[0], n) || n < 1 || n > 4) return usage("N must be 1 .. 4");
        double position = std::nan("");
        if (rest[1] != "off") {
            char* end = nullptr;
            position = std::strtod(rest[1].c_str(), &end);
            if (rest[1].empty() || *end != '\0' || !std::isfinite(position))
                return usage("POSITION must be a number or off: '" + rest[1] + "'");
        }
        const QDBusReply<bool> r = window.call("SetMarker", static_cast<int>(n), position);
        if (!r.isValid()) return failed(r.error());
        return kExitOk;
    }
    if (action == "render" && (rest.size() == 1 || rest.size() == 2)) {
        int W = 1600, H = 1000;
        if (rest.size() == 2) {
            int used = 0;
            if (std::sscanf(rest[1].c_str(), "%dx%d%n", &W, &H, &used) != 2 ||
                used != static_cast<int>(rest[1].size()))
                return usage("the size is WxH, e.g. 1600x1000");
        }
        const QDBusReply<bool> r = window.call("Render", QString::fromStdString(rest[0]), W, H);
        if (!r.isValid()) return failed(r.error());
        if (!r.value()) return usage("the window did not write " + rest[0]);
        return kExitOk;
    }
    return usage("unknown or incomplete action (qrvn remote --help)");
}
