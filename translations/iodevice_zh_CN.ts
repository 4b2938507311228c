<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>tcpClientSocket_</name>
    <message>
        <source>connection reset by the server</source>
        <translation>连接被服务器重置</translation>
    </message>
    <message>
        <source>port %1 is out of range (1-65535)</source>
        <translation>端口 %1 超出范围（1-65535）</translation>
    </message>
    <message>
        <source>no answer from %1:%2 within %3 ms</source>
        <translation>%1:%2 在 %3 毫秒内无应答</translation>
    </message>
</context>
<context>
    <name>tcpServerSocket_</name>
    <message>
        <source>port %1 is out of range (1-65535)</source>
        <translation>端口 %1 超出范围（1-65535）</translation>
    </message>
</context>
<context>
    <name>udpSocket_</name>
    <message>
        <source>port %1 is out of range (1-65535)</source>
        <translation>端口 %1 超出范围（1-65535）</translation>
    </message>
</context>
</TS>
