#pragma once
// Devices for the exporters' failure paths.

#include <QIODevice>

// Takes the first Limit bytes written to it and then refuses more: a write that would pass the
// limit takes only what fits (a short write), later writes take nothing.
class TFailingDevice : public QIODevice
{
public:
    explicit TFailingDevice(qint64 limit) : fLimit(limit) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    const QByteArray& Data() const { return fData; }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        const qint64 n = std::max<qint64>(0, std::min(size, fLimit - fData.size()));
        fData.append(data, n);
        return n;
    }

private:
    qint64 fLimit;
    QByteArray fData;
};
