// qrvn remote: scripts drive a running window through its command channel on the session bus.

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <cerrno>
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
    "  open PATH            open a waveform file and show it\n"
    "  save PATH TYPE       save the waveform in file type TYPE\n"
    "  command ID [VALUE]   run a menu command by id; prints its result (queries: the value)\n"
    "  tool STEP            run a tool step as qrvn edit takes it (NAME:KEY=VALUE,...)\n"
    "  measure              print the measurements of what the window shows, as JSON\n"
    "  render PNG [WxH]     write the window's picture (default 1600x1000)\n"
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
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return usage("no session bus");
    QDBusInterface window(kService, kPath, kInterface, bus);
    if (!window.isValid()) return usage("no Quorvalen window is listening on the session bus");
    // A tool on a long capture may take a while: wait as long as it runs.
    window.setTimeout(24 * 3600 * 1000);
    auto failed = [&](const QDBusError& e) { return usage(e.message().toStdString()); };

    if (action == "open" && args.size() == 2) {
        const QDBusReply<bool> r = window.call("Open", QString::fromStdString(args[1]));
        if (!r.isValid()) return failed(r.error());
        if (!r.value()) return usage("the window did not open " + args[1]);
        return kExitOk;
    }
    if (action == "save" && args.size() == 3) {
        long long type;
        if (!ParseLong(args[2], type) || type <= 0 || type > 2147483647)
            return usage("TYPE must be a file type id");
        const QDBusReply<bool> r =
            window.call("Save", QString::fromStdString(args[1]), static_cast<int>(type));
        if (!r.isValid()) return failed(r.error());
        if (!r.value()) return usage("the window did not save " + args[1]);
        return kExitOk;
    }
    if (action == "command" && (args.size() == 2 || args.size() == 3)) {
        long long id, value = 0;
        if (!ParseLong(args[1], id) || id <= 0 || id > 65535) return usage("ID must be 1 .. 65535");
        if (args.size() == 3 && !ParseLong(args[2], value))
            return usage("VALUE must be a whole number");
        const QDBusReply<qlonglong> r =
            window.call("Command", static_cast<uint>(id), static_cast<qlonglong>(value));
        if (!r.isValid()) return failed(r.error());
        out << r.value() << "\n";
        return kExitOk;
    }
    if (action == "tool" && args.size() == 2) {
        const QDBusReply<int> r = window.call("RunTool", QString::fromStdString(args[1]));
        if (!r.isValid()) return failed(r.error());
        out << r.value() << "\n";
        return r.value() == 0 ? kExitOk : kExitToolFailed;
    }
    if (action == "measure" && args.size() == 1) {
        const QDBusReply<QString> r = window.call("Measurements");
        if (!r.isValid()) return failed(r.error());
        out << r.value().toStdString();
        return kExitOk;
    }
    if (action == "render" && (args.size() == 2 || args.size() == 3)) {
        int W = 1600, H = 1000;
        if (args.size() == 3 && std::sscanf(args[2].c_str(), "%dx%d", &W, &H) != 2)
            return usage("the size is WxH, e.g. 1600x1000");
        const QDBusReply<bool> r = window.call("Render", QString::fromStdString(args[1]), W, H);
        if (!r.isValid()) return failed(r.error());
        if (!r.value()) return usage("the window did not write " + args[1]);
        return kExitOk;
    }
    return usage("unknown or incomplete action (qrvn remote --help)");
}
