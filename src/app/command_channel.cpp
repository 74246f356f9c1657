#include "app/command_channel.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <cstdio>

#include "app/main_frame.h"

cCommandChannel::cCommandChannel(CMainFrame* frame) : QObject(frame), frame_(frame) {
    frame_->onStatusText = [this](const std::string& text) {
        emit StatusText(QString::fromStdString(text));
    };
}

bool cCommandChannel::Start(CMainFrame* frame) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr,
                     "quorvalen: no session bus, so no command channel for other programs\n");
        return false;
    }
    if (!bus.registerService(kChannelService)) {
        std::fprintf(stderr,
                     "quorvalen: another window holds the command channel; this one runs "
                     "without it\n");
        return false;
    }
    auto* channel = new cCommandChannel(frame);
    return bus.registerObject(kChannelPath, channel,
                              QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals);
}

template <class T>
T cCommandChannel::Reply(T result, const std::string& error) {
    if (!error.empty() && calledFromDBus())
        sendErrorReply(QString::fromLatin1(kChannelRefused), QString::fromStdString(error));
    return result;
}

qlonglong cCommandChannel::Command(uint id, qlonglong value) { return Command(id, value, false); }

qlonglong cCommandChannel::Command(uint id, qlonglong value, bool discard) {
    CMainFrame::ChannelCall call;
    call.discard = discard;
    if (id > 65535) return Reply<qlonglong>(0, "unknown command id " + std::to_string(id));
    return Reply<qlonglong>(frame_->ChannelCommand(static_cast<int>(id), value, call), call.error);
}

bool cCommandChannel::Open(const QString& path) { return Open(path, false); }

bool cCommandChannel::Open(const QString& path, bool discard) {
    CMainFrame::ChannelCall call;
    call.discard = discard;
    return Reply(frame_->ChannelOpen(path.toStdString(), call), call.error);
}

bool cCommandChannel::Save(const QString& path, int type) { return Save(path, type, {}, {}); }

bool cCommandChannel::Save(const QString& path, int type, const QString& description,
                           const QString& author) {
    CMainFrame::ChannelCall call;
    return Reply(frame_->ChannelSave(path.toStdString(), type, description.toStdString(),
                                     author.toStdString(), call),
                 call.error);
}

int cCommandChannel::RunTool(const QString& step) {
    CMainFrame::ChannelCall call;
    return Reply(frame_->ChannelRunTool(step.toStdString(), call), call.error);
}

QString cCommandChannel::Measurements() {
    CMainFrame::ChannelCall call;
    return Reply(QString::fromStdString(frame_->ChannelMeasurements(call)), call.error);
}

QString cCommandChannel::Markers() {
    CMainFrame::ChannelCall call;
    return Reply(QString::fromStdString(frame_->ChannelMarkers(call)), call.error);
}

bool cCommandChannel::SetMarker(int n, double position) {
    CMainFrame::ChannelCall call;
    return Reply(frame_->ChannelSetMarker(n, position, call), call.error);
}

bool cCommandChannel::Render(const QString& png, int width, int height) {
    CMainFrame::ChannelCall call;
    return Reply(frame_->ChannelRender(png.toStdString(), width, height, call), call.error);
}
