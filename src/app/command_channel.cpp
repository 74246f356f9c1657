#include "app/command_channel.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <cstdio>

#include "app/main_frame.h"

cCommandChannel::cCommandChannel(CMainFrame* frame) : QDBusAbstractAdaptor(frame), frame_(frame) {
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
    new cCommandChannel(frame);
    return bus.registerObject(kChannelPath, frame, QDBusConnection::ExportAdaptors);
}

qlonglong cCommandChannel::Command(uint id, qlonglong value) {
    return frame_->OnCommand(static_cast<int>(id), value);
}

bool cCommandChannel::Open(const QString& path) { return frame_->OpenAndShow(path.toStdString()); }

bool cCommandChannel::Save(const QString& path, int type) {
    return frame_->SaveInType(path.toStdString(), type);
}

int cCommandChannel::RunTool(const QString& step) {
    return frame_->RunToolStep(step.toStdString());
}

QString cCommandChannel::Measurements() {
    return QString::fromStdString(frame_->MeasurementsJson());
}

bool cCommandChannel::Render(const QString& png, int width, int height) {
    return frame_->RenderPng(png.toStdString(), width, height);
}
