#pragma once

// Thin RAII wrapper over one libpcap capture handle, and a copy of libpcap's device
// list, so no worker ever holds a pointer into a list another thread may free.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

struct pcap;

struct PcapDeviceInfo {
    QString name;
    QString description;      // empty when libpcap has none
    QStringList ipv4;         // dotted, in libpcap's order
    quint32 netmaskRaw = 0;   // network order; netmask of the first address entry, or 255.255.255.0
};

// Copies pcap_findalldevs' list and frees it at once. On failure returns an empty list
// and the error buffer text in *error.
QVector<PcapDeviceInfo> listPcapDevices(QString* error);

class CaptureHandle
{
public:
    CaptureHandle() = default;
    ~CaptureHandle();
    CaptureHandle(const CaptureHandle&) = delete;
    CaptureHandle& operator=(const CaptureHandle&) = delete;

    // Opens the device (snapshot 65535, promiscuous, 1 ms read timeout) with the "arp"
    // filter. On failure *error holds the log text and nothing stays open. A bufferBytes
    // above 0 sizes the kernel's capture buffer (libpcap's default otherwise).
    bool open(const QString& device, quint32 netmaskRaw, QString* error, int bufferBytes = 0);
    // Capture only frames coming in, not the ones this host sends (simulator).
    bool setInboundOnly();
    bool isOpen() const { return handle != nullptr; }
    bool send(const QByteArray& frame);
    QString errorString() const { return lastError; }
    // 1: a frame was stored in *frame; 0: nothing this time; <0: error or end.
    int next(QByteArray* frame);
    void close();

private:
    pcap* handle = nullptr;
    QString lastError;
};
