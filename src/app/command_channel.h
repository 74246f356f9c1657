#pragma once
// The window's command channel for other programs: a D-Bus object on the session bus (service
// org.quorvalen.Quorvalen, object /Workbench) that runs the same command table as the menus,
// plus open, save, tool steps, measurements and pictures, and passes every status text on as a
// signal. It never shows a dialog: a call that cannot be carried out (the window is busy, a
// dialog is open, it would need an answer or lose unsaved edits) gets a D-Bus error that says
// why.

#include <QDBusContext>
#include <QObject>
#include <QString>

class CMainFrame;

inline constexpr char kChannelService[] = "org.quorvalen.Quorvalen";
inline constexpr char kChannelPath[] = "/Workbench";
inline constexpr char kChannelInterface[] = "org.quorvalen.Quorvalen";
// The name of every refusal the channel sends.
inline constexpr char kChannelRefused[] = "org.quorvalen.Quorvalen.Error.Refused";

class cCommandChannel : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quorvalen.Quorvalen")
public:
    explicit cCommandChannel(CMainFrame* frame);

    // Puts the frame on the session bus. Without a bus, or with the service already taken by
    // another window, it says so in one line on stderr and the window runs without a channel.
    static bool Start(CMainFrame* frame);

public slots:
    // A command id with its value, as the menus send it; the queries answer their numbers.
    // With discard, unsaved edits may be lost (New, Open, a recent file).
    qlonglong Command(uint id, qlonglong value);
    qlonglong Command(uint id, qlonglong value, bool discard);
    bool Open(const QString& path);
    bool Open(const QString& path, bool discard);
    bool Save(const QString& path, int type);
    // A SigMF recording's description and author, which the window would ask for.
    bool Save(const QString& path, int type, const QString& description, const QString& author);
    // A qrvn edit step; returns the tool's code (0 done).
    int RunTool(const QString& step);
    QString Measurements();
    // The marker table of the plot shown, as JSON.
    QString Markers();
    // Marker n (1 … 4) at position in the plot's unit (Hz, sample number, dB); NaN: off.
    bool SetMarker(int n, double position);
    bool Render(const QString& png, int width, int height);

signals:
    void StatusText(const QString& text);

private:
    // Sends the call's error, if any, as the D-Bus reply.
    template <class T>
    T Reply(T result, const std::string& error);
    CMainFrame* frame_;
};
