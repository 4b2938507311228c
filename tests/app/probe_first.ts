<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>probe</name>
    <message>
        <source>Shared</source>
        <translation>shared from first</translation>
    </message>
    <message>
        <source>FirstOnly</source>
        <translation>only in first</translation>
    </message>
</context>
</TS>
