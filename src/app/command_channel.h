#pragma once
// The window's command channel for other programs: a D-Bus interface on the session bus
// (service org.quorvalen.Quorvalen, object /Workbench) that runs the same command table as the
// menus, plus open, save, tool steps, measurements and pictures without dialogs, and passes
// every status text on as a signal.

#include <QDBusAbstractAdaptor>
#include <QString>

class CMainFrame;

inline constexpr char kChannelService[] = "org.quorvalen.Quorvalen";
inline constexpr char kChannelPath[] = "/Workbench";
inline constexpr char kChannelInterface[] = "org.quorvalen.Quorvalen";

class cCommandChannel : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quorvalen.Quorvalen")
public:
    explicit cCommandChannel(CMainFrame* frame);

    // Puts the frame on the session bus. Without a bus, or with the service already taken by
    // another window, it says so in one line on stderr and the window runs without a channel.
    static bool Start(CMainFrame* frame);

public slots:
    // A command id with its value, as the menus send it; the queries answer their numbers.
    qlonglong Command(uint id, qlonglong value);
    bool Open(const QString& path);
    bool Save(const QString& path, int type);
    // A qrvn edit step; returns the tool's code (0 done).
    int RunTool(const QString& step);
    QString Measurements();
    bool Render(const QString& png, int width, int height);

signals:
    void StatusText(const QString& text);

private:
    CMainFrame* frame_;
};
