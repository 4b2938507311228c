<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>FileSendWorker</name>
    <message>
        <source>A file is already being sent.</source>
        <translation>已有文件正在发送。</translation>
    </message>
</context>
<context>
    <name>RecvFileWriter</name>
    <message>
        <source>Cannot open %1: %2</source>
        <translation>无法打开 %1：%2</translation>
    </message>
</context>
</TS>
