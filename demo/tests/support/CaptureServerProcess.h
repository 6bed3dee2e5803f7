// The library tests' SMTP capture server (aiosmtpd) on 127.0.0.1 for the
// length of a test: every accepted message lands in `inbox` as <n>.eml with
// its envelope in <n>.envelope. It ends when its input closes.
#ifndef DEMO_CAPTURESERVERPROCESS_H
#define DEMO_CAPTURESERVERPROCESS_H

#include <QProcess>
#include <QStringList>

class CaptureServerProcess {
public:
    ~CaptureServerProcess() { stop(); }

    // Starts `script` with python, `inbox` and `options` (capture_server.py's
    // "--cert", "--auth", ...). The port it listens on, or 0 when it did not
    // start (its own messages are on standard error).
    int start(const QString& python, const QString& script, const QString& inbox,
              const QStringList& options = {})
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(python, QStringList{script, inbox} + options);
        if (!process_.waitForStarted(10000) || !process_.waitForReadyRead(20000)) return 0;
        const QByteArray line = process_.readLine().trimmed();
        return line.startsWith("PORT ") ? line.mid(5).toInt() : 0;
    }

    void stop()
    {
        if (process_.state() == QProcess::NotRunning) return;
        process_.closeWriteChannel();
        if (!process_.waitForFinished(10000)) process_.kill();
        process_.waitForFinished(1000);
    }

private:
    QProcess process_;
};

#endif
